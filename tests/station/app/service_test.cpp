#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "../../support/TempDir.h"
#include "lines/StationLog.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/ClockWatch.h"
#include "station/app/SilenceWatch.h"
#include "station/app/StationService.h"

namespace {

// 2026-12-08 12:34:56 UTC
constexpr time_t kNoon = 1796733296;

}  // namespace

TEST(SilenceWatch, WaitsThreeUsualGapsButAtLeastTwoMinutes)
{
    SilenceWatch fast;
    fast.Listen(0, kNoon);
    for (int i = 1; i <= 20; ++i) fast.Line(i, kNoon + i);
    EXPECT_EQ(fast.LimitSeconds(), 120);
    // Before any gap is known the device may send as rarely as it can.
    EXPECT_EQ(SilenceWatch().LimitSeconds(), 360);

    // One long gap (a reconnect) does not move the usual gap of a device sending every 60 s.
    SilenceWatch slow;
    slow.Listen(0, kNoon);
    double t = 0;
    for (double gap : {60.0, 60.0, 600.0, 60.0, 60.0}) {
        t += gap;
        slow.Line(t, kNoon + time_t(t));
    }
    EXPECT_EQ(slow.LimitSeconds(), 180);
    EXPECT_EQ(SilenceWatch(30).LimitSeconds(), 30);
}

TEST(SilenceWatch, RaisesOnceReopensEachSilenceTimeAndClearsWithTheNextLine)
{
    SilenceWatch w(10);
    w.Listen(100, kNoon);
    w.Line(101, kNoon + 1);
    EXPECT_EQ(w.Check(110), SilenceWatch::Action::None);
    EXPECT_EQ(w.Check(111.5), SilenceWatch::Action::Raise);
    EXPECT_TRUE(w.Alarmed());
    EXPECT_EQ(w.AlarmText(), "Keine Daten seit 12:34 UTC");
    EXPECT_EQ(w.Check(112), SilenceWatch::Action::None);
    // The port is opened anew: still the time of the last line, next attempt a silence later.
    w.Listen(112, kNoon + 300);
    EXPECT_EQ(w.Check(122), SilenceWatch::Action::Reopen);
    EXPECT_EQ(w.AlarmText(), "Keine Daten seit 12:34 UTC");
    EXPECT_TRUE(w.Line(125, kNoon + 400));
    EXPECT_FALSE(w.Alarmed());
    EXPECT_FALSE(w.Line(126, kNoon + 401));

    // Paused or without a device there is no alarm.
    w.Stop();
    EXPECT_EQ(w.Check(1000), SilenceWatch::Action::None);
}

TEST(ClockWatch, ToldWhenTheDeviceClockLeavesTheToleranceAndWhenItComesBack)
{
    EXPECT_EQ(ClockWatch::LineTime("08.12.26 12:34:56:  -87"), kNoon);
    for (const char* bad : {"08.12.26 12:34", "08.12.26 25:00:00: 1", "31.02.26 12:00:00: 1", "MOX ready"})
        EXPECT_FALSE(ClockWatch::LineTime(bad)) << bad;

    ClockWatch c(120);
    EXPECT_EQ(c.Line("08.12.26 12:36:56: 1", kNoon), ClockWatch::Change::None);  // 120 s: still fine
    EXPECT_EQ(c.Line("08.12.26 12:36:57: 1", kNoon), ClockWatch::Change::Off);
    EXPECT_NE(c.Text().find("2 min 1 s vor"), std::string::npos) << c.Text();
    EXPECT_EQ(c.Line("08.12.26 12:40:00: 1", kNoon), ClockWatch::Change::None);
    // Back within three quarters of the tolerance, and a minute after the warning at the earliest.
    EXPECT_EQ(c.Line("08.12.26 12:37:30: 1", kNoon + 60), ClockWatch::Change::None);  // 94 s
    EXPECT_EQ(c.Line("08.12.26 12:35:00: 1", kNoon + 30), ClockWatch::Change::None);  // too soon
    EXPECT_EQ(c.Line("08.12.26 12:37:00: 1", kNoon + 60), ClockWatch::Change::Back);  // 64 s
    EXPECT_FALSE(c.Off());

    // A device that was never set: the file goes by its date, the difference is told in days.
    EXPECT_EQ(c.Line("01.01.00 00:00:05: 1", kNoon + 120), ClockWatch::Change::Off);
    EXPECT_NE(c.Text().find("Tage"), std::string::npos) << c.Text();
    EXPECT_NE(c.Text().find(" nach "), std::string::npos) << c.Text();
    EXPECT_EQ(ClockWatch(0).Line("01.01.00 00:00:05: 1", kNoon), ClockWatch::Change::None);
}

TEST(ClockWatch, ADeviceJitteringAtTheToleranceIsToldOnce)
{
    // 120 s behind with 10 ms of jitter: the whole-second difference flips between 120 and 121.
    ClockWatch c(120);
    int warnings = 0, clears = 0;
    for (int i = 0; i < 300; ++i) {
        const double exact = -120.0 + ((i * 7) % 3 - 1) * 0.01;
        const time_t now = kNoon + i;
        const time_t device = time_t(std::floor(double(now) + 0.005 + exact));
        const std::string line = FormatDateTime("dd.mm.yy hh:nn:ss", double(device) / 86400 + 25569) + ":  12";
        const ClockWatch::Change change = c.Line(line, now);
        warnings += change == ClockWatch::Change::Off;
        clears += change == ClockWatch::Change::Back;
    }
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(clears, 0);
    EXPECT_TRUE(c.Off());
}

TEST(StationLog, JournalPrioritiesOnlyWhenStderrIsTheJournal)
{
    EXPECT_EQ(FormatLogMessage(LogLevel::Error, "kaputt\nzweite Zeile", false), "MOX_View: kaputt\n  zweite Zeile\n");
    EXPECT_EQ(FormatLogMessage(LogLevel::Warning, "kaputt\nzweite Zeile", true), "<4>kaputt\n<4>zweite Zeile\n");

    // stderr into a file that JOURNAL_STREAM names, as systemd sets it up.
    TempDir dir;
    const std::string file = dir / "stderr.txt";
    fflush(stderr);
    const int saved = dup(2);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    dup2(fd, 2);
    struct stat st;
    fstat(fd, &st);
    close(fd);
    setenv("JOURNAL_STREAM", (std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino)).c_str(), 1);
    LogMessage(LogLevel::Info, "im Journal");
    setenv("JOURNAL_STREAM", (std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1)).c_str(), 1);
    LogMessage(LogLevel::Error, "anderswo");
    unsetenv("JOURNAL_STREAM");
    LogMessage(LogLevel::Error, "ohne");
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    EXPECT_EQ(ReadBytes(file), "<6>im Journal\nMOX_View: anderswo\nMOX_View: ohne\n");
}

namespace {

// A medium that refuses writes while `full`.
class SwitchableMedium : public DayFileIO {
public:
    bool full = false;
    ssize_t Write(int fd, const char* data, std::size_t size) override
    {
        if (!full) return DayFileIO::Write(fd, data, size);
        errno = ENOSPC;
        return -1;
    }
};

bool Says(const ServiceMessages& m, const std::string& part)
{
    for (const ServiceMessage& x : m)
        if (x.Text.find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(StationService, WaitingLinesAreToldOnceCountedInTheStatusAndWrittenByTheTick)
{
    TFormatSettings saved = FormatSettings();
    TempDir dir;
    auto medium = std::make_unique<SwitchableMedium>();
    SwitchableMedium& m = *medium;
    DayLogger log(dir.str(), 10, std::move(medium), 2);
    StationService service({});
    service.Started(true, 0, kNoon);
    EXPECT_EQ(service.Status().Text(), "Loggen, noch keine Zeile");
    EXPECT_TRUE(service.LineHandled("xx", log.HandleLine("xx"), log, 1, kNoon).empty());
    EXPECT_FALSE(service.Alarm());

    m.full = true;
    const std::string lines[] = {"08.12.26 12:34:57: 1", "08.12.26 12:34:58: 2", "08.12.26 12:34:59: 3"};
    ServiceMessages told = service.LineHandled(lines[0], log.HandleLine(lines[0]), log, 2, kNoon + 1);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].Level, LogLevel::Error);
    EXPECT_TRUE(Says(told, "No space left")) << told[0].Text;
    EXPECT_EQ(service.Status().Text(), "Loggen, letzte Zeile 12:34:57 UTC; Datenträger voll: 1 Zeile wartet");
    EXPECT_TRUE(service.Alarm());
    EXPECT_TRUE(service.LineHandled(lines[1], log.HandleLine(lines[1]), log, 3, kNoon + 2).empty());
    told = service.LineHandled(lines[2], log.HandleLine(lines[2]), log, 4, kNoon + 3);
    EXPECT_TRUE(Says(told, "ältesten Zeilen gehen verloren"));
    EXPECT_EQ(service.Status().Get(ServiceStatus::Part::Storage),
              "Datenträger voll: 2 Zeilen warten, 1 Zeile verworfen (Speicher voll)");

    m.full = false;
    bool reopen = true;
    told = service.Tick(log, 5, reopen);
    EXPECT_FALSE(reopen);
    EXPECT_TRUE(Says(told, "1 Zeile ging verloren"));
    EXPECT_EQ(service.Status().Text(), "Loggen, letzte Zeile 12:34:59 UTC");
    EXPECT_FALSE(service.Alarm());
    EXPECT_EQ(ReadBytes(dir / "20261208.txt"), lines[1] + "\r\n" + lines[2] + "\r\n");
    FormatSettings() = saved;
}

TEST(StationService, LinesWaitingAtAStopAreKeptAndFiledFirstByTheNextStart)
{
    TFormatSettings saved = FormatSettings();
    TempDir dir;
    ServiceSettings settings;
    settings.SpoolFolders = {dir / "state", dir / "run"};
    const std::string lines[] = {"08.12.26 12:34:57: 1", "08.12.26 12:34:58: 2", "08.12.26 12:34:59: 3"};
    {
        auto medium = std::make_unique<SwitchableMedium>();
        medium->full = true;
        DayLogger log(dir.str(), 10, std::move(medium));
        StationService service(settings);
        for (const std::string& l : {lines[0], lines[1]}) service.LineHandled(l, log.HandleLine(l), log, 1, kNoon);
        const ServiceMessages told = service.Stopping(log);
        EXPECT_TRUE(Says(told, "2 Zeilen konnten beim Beenden nicht abgelegt werden")) << told[0].Text;
        EXPECT_TRUE(Says(told, dir / "state/" + StopSpool::kFileName));
    }
    EXPECT_EQ(ReadBytes(dir / "20261208.txt"), "");
    {
        DayLogger log(dir.str());
        StationService service(settings);
        EXPECT_TRUE(Says(service.Restore(log), "2 Zeilen vom letzten Beenden"));
        service.LineHandled(lines[2], log.HandleLine(lines[2]), log, 1, kNoon);
        EXPECT_EQ(ReadBytes(dir / "20261208.txt"), lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
        EXPECT_FALSE(std::filesystem::exists(dir / "state/" + StopSpool::kFileName));
        EXPECT_TRUE(service.Restore(log).empty());
    }

    // Nowhere to keep them: the stop tries for its bounded time, then tells how many are lost.
    WriteBytes(dir / "blocked", "");
    settings.SpoolFolders = {dir / "blocked/state"};
    settings.StopWaitSeconds = 0.2;
    auto medium = std::make_unique<SwitchableMedium>();
    medium->full = true;
    DayLogger log(dir.str(), 10, std::move(medium));
    StationService service(settings);
    service.LineHandled(lines[0], log.HandleLine(lines[0]), log, 1, kNoon);
    const ServiceMessages told = service.Stopping(log);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].Level, LogLevel::Error);
    EXPECT_TRUE(Says(told, "1 Zeile geht beim Beenden verloren")) << told[0].Text;
    EXPECT_TRUE(Says(told, "blocked/state")) << told[0].Text;
    FormatSettings() = saved;
}

TEST(StationService, SilenceAlarmAsksForTheReopenAndClearsWithTheNextLine)
{
    TFormatSettings saved = FormatSettings();
    TempDir dir;
    DayLogger log(dir.str());
    ServiceSettings settings;
    settings.SilenceSeconds = 5;
    settings.Port = "ttyS0";
    settings.SettingsFile = "/etc/mox/mox.ini";
    StationService service(settings);
    service.Started(true, 0, kNoon);
    bool reopen = false;
    EXPECT_TRUE(service.Tick(log, 4, reopen).empty());
    EXPECT_FALSE(reopen);
    ServiceMessages told = service.Tick(log, 5, reopen);
    EXPECT_TRUE(reopen);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_FALSE(told[0].Box);
    // The port and where to change it.
    EXPECT_EQ(told[0].Text.rfind("Keine Daten seit 12:34 UTC von ttyS0; ", 0), 0u) << told[0].Text;
    EXPECT_NE(told[0].Text.find("/etc/mox/mox.ini unter [COM-Port] Port="), std::string::npos) << told[0].Text;
    EXPECT_EQ(service.Status().Text(), "Loggen, noch keine Zeile; Keine Daten seit 12:34 UTC von ttyS0");
    EXPECT_TRUE(service.Alarm());
    EXPECT_TRUE(service.Tick(log, 6, reopen).empty());
    EXPECT_FALSE(reopen);

    const std::string line = "08.12.26 12:35:10: 1";
    told = service.LineHandled(line, log.HandleLine(line), log, 7, kNoon + 14);
    EXPECT_TRUE(Says(told, "Wieder Daten"));
    EXPECT_EQ(service.Status().Text(), "Loggen, letzte Zeile 12:35:10 UTC");
    EXPECT_FALSE(service.Alarm());

    service.PortLost();
    EXPECT_EQ(service.Status().Text(), "Gerät getrennt, neuer Versuch alle 3 s");
    EXPECT_TRUE(service.Tick(log, 100, reopen).empty());
    EXPECT_FALSE(reopen);
    FormatSettings() = saved;
}

TEST(ServiceStatus, PublishingBacklogReachesTheServiceStatusButNotTheAlertPanel)
{
    ServiceStatus status;
    status.Set(ServiceStatus::Part::Connection, LoggingText(0));
    status.Set(ServiceStatus::Part::Publisher, PublisherText(true, 0));
    EXPECT_EQ(status.Text(), "Loggen, noch keine Zeile");
    status.Set(ServiceStatus::Part::Publisher, PublisherText(false, 12));
    EXPECT_EQ(status.Text(), "Loggen, noch keine Zeile; MQTT getrennt: 12 Zeilen warten");
    // The status bar has its own MQTT panel; the red alert panel stays for the station's faults.
    EXPECT_EQ(status.Alerts(), "");
    status.Set(ServiceStatus::Part::Clock, "Uhr des Geräts falsch");
    status.Set(ServiceStatus::Part::Publisher, PublisherText(true, 1));
    EXPECT_EQ(status.Text(), "Loggen, noch keine Zeile; Uhr des Geräts falsch; MQTT: 1 Zeile wartet");
    EXPECT_EQ(status.Alerts(), "Uhr des Geräts falsch");
}

// A port that opens but never sends (a serial port of the PC with nothing attached) is asked
// about once, soon after the start, naming the port; the silence alarm keeps its own timing.
TEST(StationService, APortThatSendsNothingAfterTheStartIsAskedAboutOnce)
{
    TFormatSettings saved = FormatSettings();
    TempDir dir;
    DayLogger log(dir.str());
    ServiceSettings settings;
    settings.NoDeviceSeconds = 3;
    settings.Port = "ttyS0";
    settings.SettingsFile = "/etc/mox/mox.ini";
    StationService service(settings);
    service.Started(true, 100, kNoon);
    bool reopen = false;
    EXPECT_TRUE(service.Tick(log, 102.9, reopen).empty());
    ServiceMessages told = service.Tick(log, 103, reopen);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].Box);
    EXPECT_EQ(told[0].Level, LogLevel::Warning);
    EXPECT_NE(told[0].Text.find("kein Gerät an ttyS0?"), std::string::npos) << told[0].Text;
    EXPECT_NE(told[0].Text.find("Log-Einstellungen"), std::string::npos) << told[0].Text;
    EXPECT_FALSE(reopen);  // the silence alarm comes later, at its own time
    EXPECT_FALSE(service.Alarm());
    EXPECT_TRUE(service.Tick(log, 110, reopen).empty());

    // Another port is given its own time and asked about under its own name.
    service.SetPort("ttyUSB0");
    service.PortOpened(200, kNoon + 100);
    EXPECT_TRUE(service.Tick(log, 202, reopen).empty());
    told = service.Tick(log, 203, reopen);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].Text.find("kein Gerät an ttyUSB0?"), std::string::npos) << told[0].Text;

    // A device that sends within the time is never asked about.
    StationService sending(settings);
    sending.Started(true, 0, kNoon);
    sending.LineHandled("08.12.26 12:34:10: 1", DayLogger::Outcome::Logged, log, 1, kNoon + 1);
    EXPECT_TRUE(sending.Tick(log, 10, reopen).empty());
    // Nor is a port that could not be opened: that is told as such.
    StationService closed(settings);
    closed.Started(false, 0, kNoon);
    EXPECT_TRUE(closed.Tick(log, 10, reopen).empty());
}
