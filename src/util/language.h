#pragma once
// MZ_alluse: the language of the window's and start-up's texts. The designed texts are Chinese
// and stay so whatever the system's locale; English is shown only when the operator asks for it
// on the command line or in the settings file.

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <memory>

enum class Language { Chinese, English };

// The language asked for: "--lang en" or "--lang=en" (or "zh") among `arguments` (the program
// name first, as QCoreApplication::arguments() has it), else a line "Language=en" (or "zh") in the
// settings file. Any other value is ignored, as if it were not there; nothing asked for gives the
// designed Chinese.
Language ChosenLanguage(const QStringList& arguments, const QString& settingsPath);

// Installs the translation of `language` into the application and hands it back: the texts stay
// translated while it lives. Chinese is the texts as written and needs none (null); so does an
// English translation that cannot be loaded, which is said on stderr.
std::unique_ptr<QTranslator> InstallTranslation(Language language);

// Qt's own texts (a message box's buttons, the file dialogs) in the window's language, so that a
// Chinese window's box says 确定, not OK. Chinese comes from Qt's translation qtbase_zh_CN, looked
// for in translations/ beside the program (the Windows folder carries it there) and then where Qt
// keeps its translations; English is Qt's own and needs none. Null when none is needed or found:
// Qt's texts then stay English.
std::unique_ptr<QTranslator> InstallQtTranslation(Language language);
