// The studio's interface languages: English (the source texts) and Japanese, through Qt's
// translation system, with the system locale choosing at start-up and a menu switching later.
#pragma once

#include <QString>
#include <string_view>

class QTranslator;

namespace studio {

enum class Language { English, Japanese };

// Japanese when the system locale's language is Japanese, else English.
Language systemLanguage();

// Installs the translator of `language` into the application (removing the previous one); every
// widget then gets a LanguageChange event. False when the compiled translation is missing.
bool setLanguage(Language language);
Language currentLanguage();

// A fixed message of the core as the interface shows it: the Japanese text alone in the
// Japanese interface, the Japanese text and its English meaning in the English one.
QString messageText(std::string_view japanese);
// The English meaning of a fixed message; empty for a text that is not one of them.
QString englishMeaning(std::string_view japanese);

}  // namespace studio
