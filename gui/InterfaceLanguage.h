#pragma once
// The interface speaks the language of the locale when TAVO has a translation for it (German);
// else it stays in its own English. Qt's own texts (the buttons of its dialogs) follow in the
// same language, never in a third one. The log line, the telnet dialogue, the files and the
// spoken texts are not translated.

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;

// Where the program's translations are looked for: beside the build tree's program
// (BUILD/translations) and where the package installs them (PREFIX/share/tavo/translations).
QStringList TranslationDirectories();

// Installs the translators for `locale` found in `directories` into the application; returns
// the language loaded ("de"), or an empty text when the interface stays English.
QString LoadInterfaceLanguage(const QLocale& locale, const QStringList& directories);
