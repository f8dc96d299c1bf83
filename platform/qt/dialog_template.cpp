#include "dialog_template.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

namespace qtfront {

namespace {

bool kindFromName(const QString& name, ControlKind& kind) {
  static const struct {
    const char* name;
    ControlKind kind;
  } kKinds[] = {
      {"label", ControlKind::Label},   {"edit", ControlKind::Edit},
      {"button", ControlKind::Button}, {"groupbox", ControlKind::GroupBox},
      {"radio", ControlKind::Radio},   {"progress", ControlKind::Progress},
  };
  for (const auto& entry : kKinds) {
    if (name == QLatin1String(entry.name)) {
      kind = entry.kind;
      return true;
    }
  }
  return false;
}

// Dialog units are small non-negative integers; anything else in a template is a typing error.
bool readUnits(const QJsonValue& value, int& out) {
  if (!value.isDouble()) return false;
  const double d = value.toDouble();
  if (!(d >= 0 && d <= 10000) || d != static_cast<double>(static_cast<int>(d))) return false;
  out = static_cast<int>(d);
  return true;
}

}  // namespace

bool parseDialogTemplate(const QByteArray& json, DialogTemplate& out, QString& error) {
  QJsonParseError parseError{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
  if (doc.isNull() || !doc.isObject()) {
    error = QStringLiteral("not a JSON object: ") + parseError.errorString();
    return false;
  }
  const QJsonObject root = doc.object();
  DialogTemplate result;
  result.title = root.value(QStringLiteral("title")).toString();
  if (!readUnits(root.value(QStringLiteral("width")), result.width) ||
      !readUnits(root.value(QStringLiteral("height")), result.height) || result.width == 0 ||
      result.height == 0) {
    error = QStringLiteral("bad dialog size");
    return false;
  }
  const QJsonObject font = root.value(QStringLiteral("font")).toObject();
  result.fontFamily = font.value(QStringLiteral("family")).toString();
  if (!readUnits(font.value(QStringLiteral("pointSize")), result.fontPointSize) ||
      result.fontPointSize == 0) {
    error = QStringLiteral("bad font size");
    return false;
  }

  const QJsonArray controls = root.value(QStringLiteral("controls")).toArray();
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const QJsonObject c = controls.at(i).toObject();
    ControlSpec spec;
    const QString where = QStringLiteral("control %1: ").arg(i);
    const QJsonValue id = c.value(QStringLiteral("id"));
    const double idValue = id.toDouble(-2);
    if (!id.isDouble() || idValue < -1 || idValue > 65535 ||
        idValue != static_cast<double>(static_cast<int>(idValue))) {
      error = where + QStringLiteral("bad id");
      return false;
    }
    spec.id = static_cast<int>(idValue);
    if (!kindFromName(c.value(QStringLiteral("kind")).toString(), spec.kind)) {
      error = where + QStringLiteral("unknown kind");
      return false;
    }
    spec.caption = c.value(QStringLiteral("caption")).toString();
    const QJsonArray rect = c.value(QStringLiteral("rect")).toArray();
    int r[4] = {};
    if (rect.size() != 4) {
      error = where + QStringLiteral("rect needs four numbers");
      return false;
    }
    for (int k = 0; k < 4; ++k) {
      if (!readUnits(rect.at(k), r[k])) {
        error = where + QStringLiteral("bad rect");
        return false;
      }
    }
    spec.rect = QRect(r[0], r[1], r[2], r[3]);
    spec.selected = c.value(QStringLiteral("selected")).toBool(false);
    spec.disabled = c.value(QStringLiteral("disabled")).toBool(false);
    spec.groupStart = c.value(QStringLiteral("groupStart")).toBool(false);
    spec.autoHScroll = c.value(QStringLiteral("autoHScroll")).toBool(false);
    if (spec.id != -1) {
      for (const ControlSpec& earlier : result.controls) {
        if (earlier.id == spec.id) {
          error = where + QStringLiteral("duplicate id %1").arg(spec.id);
          return false;
        }
      }
    }
    result.controls.push_back(spec);
  }
  out = result;
  return true;
}

DialogTemplate loadDialogTemplate(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    qFatal("dialog template %s cannot be opened", qPrintable(path));
  }
  DialogTemplate result;
  QString error;
  if (!parseDialogTemplate(file.readAll(), result, error)) {
    qFatal("dialog template %s: %s", qPrintable(path), qPrintable(error));
  }
  return result;
}

}  // namespace qtfront
