#pragma once
// Qt's own texts in German: the buttons of message boxes, the file and colour choosers, the
// context menus of text fields. The programs' own texts are German, so Qt's are made German
// too, whatever language the desktop is set to.
class QCoreApplication;

// Installs Qt's German translations (Debian package qt6-translations-l10n) into `app`.
// False when they are not installed; Qt then speaks English.
bool InstallGermanQtTranslations(QCoreApplication& app);
