#pragma once
// A station window under test: its own settings file and folders, a QApplication without a
// display, and helpers to let the event loop run.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "../../support/TempDir.h"

inline QApplication* WindowApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "station_window_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

inline bool RunUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

inline void RunFor(int milliseconds)
{
    RunUntil([] { return false; }, milliseconds);
}

class StationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowApp();
        ini = dir / "mox.ini";
        setenv("MOX_INI", ini.c_str(), 1);
    }
    void WriteIni(const std::string& text) { WriteBytes(ini, text); }

    TempDir dir;
    std::string ini;
};
