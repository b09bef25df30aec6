#pragma once
// A station dialog under test: a diagram, a settings file of its own and a context around
// them, as the main window hands them to its dialogs.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "../../../support/DayFiles.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/dialogs/StationContext.h"

inline QApplication* DialogApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "info_dialogs_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

// Closes the next message box as soon as it shows and keeps its text.
inline void AnswerNextMessageBox(QString* text)
{
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        }
    });
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DialogApp();
        FormatSettings().DecimalSeparator = '.';
        FormatSettings().ShortDateFormat = "dd.mm.yy";
        ini = std::make_unique<TIniFile>(dir / "mox.ini");
        main = std::make_unique<QWidget>();
        main->resize(600, 400);
        ctx.Diagram = &diagram;
        ctx.Ini = ini.get();
        ctx.MainWindow = main.get();
        ctx.Redraw = [this] { ++redraws; };
        ctx.EnableKorrektur = [](bool) {};
    }
    void TearDown() override { FormatSettings().DecimalSeparator = '.'; }

    // Writes a four-section day file for 15.06.2003 and loads its section `selector`
    // (1 Bx .. 4 B) as curve `curve`.
    std::string LoadDay(const std::vector<Section>& sections, int selector, int curve,
                        const std::string& name = "20030615.mox")
    {
        const std::string file = dir / name;
        WriteBytes(file, DayFileText(sections, "15.06.03"));
        diagram.LoadData(file, selector, curve);
        return file;
    }

    TempDir dir;
    TMOX_Diagram diagram;
    std::unique_ptr<TIniFile> ini;
    std::unique_ptr<QWidget> main;  // made after the application
    TStationContext ctx;
    int redraws = 0;
};
