#pragma once
// A station window under test: its own settings file and folders, a QApplication without a
// display, and helpers to let the event loop run.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "../../support/PngSize.h"
#include "../../support/Process.h"
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

// Runs the event loop until done() or the time is up; sleeps between events instead of
// spinning, so the processes under test keep the machine's cores.
inline bool RunUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(10);
    while (!done() && t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

inline void RunFor(int milliseconds)
{
    RunUntil([] { return false; }, milliseconds);
}

// Collects what the code under test writes to stderr while it lives.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& file) : file(file)
    {
        std::fflush(stderr);
        saved = dup(2);
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() { Restore(); }
    // What was written so far; the capture ends.
    std::string Text()
    {
        Restore();
        return ReadBytes(file);
    }

private:
    void Restore()
    {
        if (saved < 0) return;
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        saved = -1;
    }
    std::string file;
    int saved = -1;
};

class StationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowApp();
        ini = dir / "mox.ini";
        setenv("MOX_INI", ini.c_str(), 1);
        // Lines a stop keeps for the next start stay with the test.
        setenv("STATE_DIRECTORY", (dir / "state").c_str(), 1);
    }
    void WriteIni(const std::string& text) { WriteBytes(ini, text); }

    // An upload command that notes its process id in UploadPid() and then takes its time.
    std::string UploadScript()
    {
        const std::string script = dir / "upload.sh";
        WriteBytes(script, "#!/bin/sh\necho $$ >> " + UploadPid() + "\nexec sleep 60\n");
        chmod(script.c_str(), 0755);
        return script;
    }
    std::string UploadPid() const { return dir / "upload.pid"; }

    TempDir dir;
    std::string ini;
};
