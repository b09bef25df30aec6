#pragma once
// The station's runtime under test: a port that hands over the lines the test gives it, a
// clock the test sets, and the reports collected in a list.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../support/TempDir.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"
#include "station/app/OneShotImage.h"
#include "station/runtime/StationRuntime.h"

class FakePort : public LinePort {
public:
    void SetName(const std::string& n) override { name = n; }
    std::string Name() const override { return name; }
    bool Open() override
    {
        ++openings;
        open = !refuse;
        return open;
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    std::string LastError() const override { return name + ": kein solches Gerät"; }

    // The device sends a line; lines sent to a closed port are lost on the wire.
    void Send(const std::string& line)
    {
        if (open && OnLine) OnLine(line);
    }
    void HangUp()
    {
        open = false;
        if (OnLost) OnLost("die Gegenstelle hat aufgelegt");
    }

    std::string name;
    bool open = false;
    bool refuse = false;
    int openings = 0;
};

inline QCoreApplication* CoreApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "runtime_test";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    return QCoreApplication::instance();
}

// Runs the event loop until done() or the time is up; waits for events instead of sleeping
// between them, so that a process's output is read as it comes.
inline bool RunUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;  // wakes the loop, which otherwise waits for the next event
    tick.start(10);
    while (!done() && t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

inline std::vector<std::string> FileLines(const std::string& file)
{
    std::vector<std::string> lines;
    ReadTextLines(file, lines);
    return lines;
}

// A data line of the device at `t` (UTC) with one reading.
inline std::string DeviceLine(time_t t, int reading)
{
    tm u;
    gmtime_r(&t, &u);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%02d %02d:%02d:%02d: %4d", u.tm_mday, u.tm_mon + 1, u.tm_year % 100,
                  u.tm_hour, u.tm_min, u.tm_sec, reading);
    return buf;
}

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoreApp();
        UseStationFormats();
        data = dir / "data/";
        images = dir / "images/";
        ini = dir / "mox.ini";
        std::filesystem::create_directories(data);
        // Lines kept at a stop go to this test's own state folder.
        setenv("STATE_DIRECTORY", (dir / "state").c_str(), 1);
        reports.AddSink([this](const Report& r) { told.push_back(r); });
    }
    void TearDown() override
    {
        if (runtime) runtime->Stop();
    }

    // Starts the runtime on the settings `extra` adds to the folders; its timers stay off.
    void Start(const std::string& extra = "", std::unique_ptr<DayFileIO> medium = nullptr)
    {
        StartOn("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + images +
                    "\r\n[COM-Port]\r\nPort=ttyFAKE\r\n" + extra,
                std::move(medium));
    }
    // Starts the runtime on these settings, whole; its timers stay off.
    void StartOn(const std::string& settingsText, std::unique_ptr<DayFileIO> medium = nullptr)
    {
        WriteBytes(ini, settingsText);
        iniFile = std::make_unique<TIniFile>(ini);
        const StationSettings settings = ReadStationSettings(*iniFile, diagram, true);
        auto p = std::make_unique<FakePort>();
        port = p.get();
        runtime = std::make_unique<StationRuntime>(*iniFile, diagram, settings, std::move(p), reports,
                                                   RuntimeClock{[this] { return mono; }, [this] { return wall; }},
                                                   std::move(medium));
        runtime->Start(false);
    }
    // The device sends a line stamped with the wall clock, one second later each time.
    void SendLines(int n, int reading = 100)
    {
        for (int i = 0; i < n; ++i) {
            port->Send(DeviceLine(wall, reading + i % 7));
            Advance(1);
        }
    }
    // The same, the service ticking after each line; the lines sent are added to `sent`.
    void SendTicking(int n, std::vector<std::string>& sent)
    {
        for (int i = 0; i < n; ++i) {
            sent.push_back(DeviceLine(wall, 100 + i));
            port->Send(sent.back());
            Advance(1);
            runtime->Tick();
        }
    }
    void Advance(double seconds)
    {
        mono += seconds;
        wall += time_t(seconds);
    }
    // The reports whose text holds `part`.
    std::vector<Report> Told(const std::string& part) const
    {
        std::vector<Report> out;
        for (const Report& r : told)
            if (r.Text.find(part) != std::string::npos) out.push_back(r);
        return out;
    }

    TempDir dir;
    std::string data, images, ini;
    std::unique_ptr<TIniFile> iniFile;
    TMOX_Diagram diagram;
    ReportChannel reports;
    std::vector<Report> told;
    FakePort* port = nullptr;
    std::unique_ptr<StationRuntime> runtime;
    double mono = 1000;
    time_t wall = 1055678400;  // 15.06.03 12:00:00 UTC
};
