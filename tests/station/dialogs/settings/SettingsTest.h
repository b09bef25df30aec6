#pragma once
// A station context for the settings dialogs: a diagram, a settings file of the test's own
// and a count of the main window's redraws.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "../../../support/TempDir.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/StationContext.h"

inline void DialogApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "settings_dialogs_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DialogApp();
        ini = std::make_unique<TIniFile>(dir / "mox.ini");
        ctx.Diagram = &diagram;
        ctx.Ini = ini.get();
        ctx.Redraw = [this] { ++redraws; };
    }
    std::string IniText() const { return ReadBytes(dir / "mox.ini"); }

    TempDir dir;
    TMOX_Diagram diagram;
    std::unique_ptr<TIniFile> ini;
    TStationContext ctx;
    int redraws = 0;
};
