// The tool's messages in the user's language. The tool's own texts are English; the core's
// messages and picture type names are French, as the window shows them, and an English user gets
// them in English through the table of cli_texts.cpp.
#pragma once

#include <string>

namespace vorlino::cli {

enum class CliLanguage { clFrench, clEnglish };

// As gettext chooses: the locale is the first non-empty of LC_ALL, LC_MESSAGES and LANG; unless it
// is the C locale, LANGUAGE's first entry, when set, wins over it. English when the choice starts
// with "en"; French for every other language, the C locale and nothing set. Null stands for unset.
CliLanguage languageOf(const char* language, const char* lcAll, const char* lcMessages,
                       const char* lang);

// languageOf the process's environment, read once.
CliLanguage systemLanguage();

// french in the language: each line ("\r" or "\n" apart) looked up as a whole, then against the
// table's texts with %1, %2... in them, whose values are carried over. A line the table lacks is
// left as it is.
std::string localized(const std::string& french, CliLanguage language);
std::string localized(const std::string& french);

}  // namespace vorlino::cli
