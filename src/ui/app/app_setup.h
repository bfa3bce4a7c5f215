// What the program sets on its application object before it makes any window; the tests do the
// same through this function.
#pragma once

namespace vorlino {

// The interface's language: French, the texts as written in the sources, or English, from the
// translation built into the program.
enum class UiLanguage { ulFrench, ulEnglish };

// English when the user's first interface language (LANGUAGE, else LC_ALL, LC_MESSAGES or LANG,
// as QLocale::system() reads them) is English; French for every other language.
UiLanguage SystemUiLanguage();

// The language SetUpApplication installed last (French until it is called).
UiLanguage CurrentUiLanguage();

// Names the application "Vorlino" and installs the texts of the language: in French, the French
// of Qt's own dialogs; in English, the program's English translation (Qt's dialogs are English by
// themselves). No display name is set: the platform would append it to every caption
// ("Confirmation — Vorlino"), and each window keeps exactly the caption it gives itself. French
// unless told otherwise: the program passes SystemUiLanguage(), the tests choose. Returns false
// when the language's translations are not installed on this machine.
bool SetUpApplication(UiLanguage language = UiLanguage::ulFrench);

}  // namespace vorlino
