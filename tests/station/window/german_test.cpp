// Qt's own texts in the German programs: buttons and dialogs speak German, whatever language
// the desktop is set to.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTranslator>

#include "StationTest.h"
#include "widgets/GermanQt.h"

TEST(GermanQt, StandardButtonsSpeakGermanInAnEnglishSession)
{
    setenv("LANG", "en_US.UTF-8", 1);
    QApplication* app = WindowApp();
    QMessageBox before(QMessageBox::Warning, "MOX", "?", QMessageBox::Cancel);
    const QString english = before.button(QMessageBox::Cancel)->text();

    ASSERT_TRUE(InstallGermanQtTranslations(*app)) << "qt6-translations-l10n missing?";
    QMessageBox box(QMessageBox::Warning, "MOX", "?", QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Abbrechen") << english.toStdString();
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), "Ja");
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Nein");

    // The other tests of this program expect Qt as it comes.
    for (QTranslator* t : app->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}
