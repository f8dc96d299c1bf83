#include "studio_language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <utility>

#include "messages.h"
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
  static const std::pair<std::string_view, const char*> kMeanings[] = {
      {msg::kFileNotFound, "file not found"},
      {msg::kCannotOpen, "cannot open the file"},
      {msg::kNoMemory, "not enough memory"},
      {msg::kReadError, "read error"},
      {msg::kCannotCreate, "cannot create the file"},
      {msg::kWriteError, "write error"},
      {msg::kUnsupportedFile, "this file cannot be read"},
      {msg::kBadDataLength, "the data length is wrong"},
      {msg::kNot44100, "not 44100 Hz"},
      {msg::kNot16Bit, "the samples are not 16-bit"},
      {msg::kAudioTooLong, "the recording is too long (600 s at most)"},
      {msg::kFinished, "done"},
      {msg::kCancelled, "cancelled"},
      {msg::kNoCounter, "no high-resolution clock to time the analysis"},
      {msg::kSpecifyWave, "give a WAVE file"},
      {msg::kChannelsBelowPolyphony, "use at least as many channels as the polyphony"},
      {msg::kTempoRange, "give a tempo from 30 to 1000"},
      {msg::kTimeBaseRange, "give a time base from 24 to 65535"},
      {msg::kNoteStartTooEarly, "the note start is too early (at least twice the time base)"},
      {msg::kSpecifyDat, "give a DAT file"},
      {msg::kDatTooLong, "the DAT file is too long"},
  };
  for (const auto& [text, meaning] : kMeanings) {
    if (text == japanese) return QString::fromLatin1(meaning);
  }
  return {};
}

QString messageText(std::string_view japanese) {
  const QString text = qtfront::toQString(japanese);
  if (active == Language::Japanese) return text;
  const QString meaning = englishMeaning(japanese);
  return meaning.isEmpty() ? text : text + QStringLiteral(" (") + meaning + QStringLiteral(")");
}

}  // namespace studio
