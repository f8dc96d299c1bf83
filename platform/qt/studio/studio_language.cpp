#include "studio_language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "message_glosses.h"
#include "platform_services.h"

namespace studio {

namespace {

Language active = Language::English;
QTranslator* installed = nullptr;

}  // namespace

Language systemLanguage() {
  return QLocale::system().language() == QLocale::Japanese ? Language::Japanese : Language::English;
}

bool setLanguage(Language language) {
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  bool loaded = true;
  if (language == Language::Japanese) {
    auto* translator = new QTranslator;
    loaded = translator->load(QStringLiteral(":/i18n/studio_ja.qm"));
    if (loaded) {
      QCoreApplication::installTranslator(translator);
      installed = translator;
    } else {
      delete translator;
    }
  }
  // Installing and removing a translator both send every window a LanguageChange event.
  active = loaded ? language : Language::English;
  return loaded;
}

Language currentLanguage() {
  return active;
}

QString englishMeaning(std::string_view japanese) {
  return qtfront::toQString(msg::englishMeaning(japanese));
}

QString messageText(std::string_view japanese) {
  const QString text = qtfront::toQString(japanese);
  if (active == Language::Japanese) return text;
  const QString meaning = englishMeaning(japanese);
  return meaning.isEmpty() ? text : text + QStringLiteral(" (") + meaning + QStringLiteral(")");
}

}  // namespace studio
