#pragma once
// A diagram, a settings file and a main window for the curve dialogs, as the station gives
// them, with counters for what the dialogs ask of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>
#include <cmath>
#include <string>

#include "../../../support/DayFiles.h"
#include "../../../support/TempDir.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/StationContext.h"

inline QApplication* CurveDialogApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "curve_dialogs_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

class CurveDialogTest : public ::testing::Test {
protected:
    CurveDialogTest() : ini(dir / "mox.ini")
    {
        context.Diagram = &diagram;
        context.Ini = &ini;
        context.MainWindow = &mainWindow;
        context.Redraw = [this] { ++redraws; };
        context.EnableKorrektur = [this](bool on) {
            korrekturEnabled = on;
            ++korrekturCalls;
        };
    }

    // A day file in the test folder; returns its path.
    std::string DayFile(const std::string& name, const std::vector<Section>& sections,
                        const std::string& date = "15.06.03")
    {
        const std::string path = dir / name;
        WriteBytes(path, DayFileText(sections, date));
        return path;
    }
    static Section Constant(const std::string& component, double value)
    {
        return {component, Minutes([value](int) { return value; })};
    }

    QApplication* app = CurveDialogApp();  // before any widget
    TempDir dir;
    TIniFile ini;
    TMOX_Diagram diagram;
    QWidget mainWindow;
    TStationContext context;
    int redraws = 0;
    int korrekturCalls = 0;
    bool korrekturEnabled = false;
};
