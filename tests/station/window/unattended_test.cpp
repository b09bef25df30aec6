// The logging station left alone: folders that are missing or taken away, a full medium,
// a device whose clock is wrong.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <QMessageBox>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "../../devsim/DevSim.h"
#include "RecordedLines.h"
#include "StationTest.h"
#include "station/MainWindow.h"

namespace {

using UnattendedStation = StationTest;

// Where `part` stands in `whole` as a run of consecutive lines; -1 if it does not.
long RunAt(const std::vector<std::string>& whole, const std::vector<std::string>& part)
{
    if (part.empty()) return -1;
    for (std::size_t i = 0; i + part.size() <= whole.size(); ++i)
        if (std::equal(part.begin(), part.end(), whole.begin() + long(i))) return long(i);
    return -1;
}

// A small filesystem of its own, unmounted at the end.
class SmallMedium {
public:
    explicit SmallMedium(const std::string& path) : path(path)
    {
        std::filesystem::create_directories(path);
        if (mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0) mounted = true;
        else reason = std::strerror(errno);
    }
    ~SmallMedium()
    {
        if (mounted) umount2(path.c_str(), MNT_DETACH);
    }
    // Fills what is left with a file of its own.
    void Fill()
    {
        std::ofstream out(path + "/fill", std::ios::binary);
        const std::string block(512, 'x');
        while (out.write(block.data(), block.size()) && out.flush()) {}
    }
    void Free() { std::filesystem::remove(path + "/fill"); }

    std::string path, reason;
    bool mounted = false;
};

}  // namespace

TEST_F(UnattendedStation, AFreshStationMakesItsOwnDataFolderWithoutAWord)
{
    TDevSim sim({"--speed", "10", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string share = dir / "home/share";
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string before = saved ? saved : "";
    setenv("XDG_DATA_HOME", share.c_str(), 1);
    WriteIni("[COM-Port]\r\nPort=" + sim.Link() + "\r\n");
    {
        TMain w({"LOG"});
        w.show();
        ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty() && Lines(w.LogFileName()).size() >= 3; }, 10000))
            << w.LastProblem().toStdString();
        EXPECT_EQ(w.LogFileName().rfind(share + "/mox/data/", 0), 0u) << w.LogFileName();
        // The first batch makes the image folder.
        w.Timer1Timer();
        EXPECT_TRUE(std::filesystem::exists(share + "/mox/images/mox_data.bmp"));
        EXPECT_FALSE(w.StatusIsRed());
        // The default folders are made without a word; what the first batch of a fresh station
        // rightly tells is that the page templates are missing.
        for (QMessageBox* box : w.findChildren<QMessageBox*>())
            EXPECT_TRUE(box->text().contains("Header.txt")) << box->text().toStdString();
        w.close();
    }
    if (saved) setenv("XDG_DATA_HOME", before.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

TEST_F(UnattendedStation, ADayLogDeletedWhileLoggingIsMadeAnewAndToldOnce)
{
    const std::string record = dir / "sent.bin";
    TDevSim sim({"--start", "2003-06-15T12:00:00", "--speed", "4", "--interval", "1", "--record", record});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data";
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nUhr-Toleranz=0\r\n");
    const std::string day = data + "/20030615.txt";
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return Lines(day).size() >= 5; }, 10000));
    const std::size_t logged = Lines(day).size();
    std::filesystem::remove(day);
    ASSERT_TRUE(RunUntil([&] { return Lines(day).size() >= 5; }, 10000)) << "the day log was not made anew";
    EXPECT_TRUE(w.LastProblem().contains("gelöscht oder verschoben")) << w.LastProblem().toStdString();
    RunFor(1000);
    w.close();

    // The new file goes on where the old one was taken away: consecutive lines up to the end.
    const std::vector<std::string> sent = ExpectedDayFiles(ReadBytes(record))["20030615.txt"];
    const std::vector<std::string> renewed = Lines(day);
    const long at = RunAt(sent, renewed);
    ASSERT_GE(at, 0) << "lines missing or doubled in the new day log";
    EXPECT_EQ(std::size_t(at) + renewed.size(), sent.size());
    EXPECT_GE(std::size_t(at), logged);
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);
}

TEST_F(UnattendedStation, ADeviceClockOutsideTheToleranceIsToldAndItsLinesFiledAsSent)
{
    TDevSim sim({"--start", "2000-01-01T00:00:00", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nUhr-Toleranz=300\r\n");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return w.LastProblem().contains("Uhr des Geräts"); }, 10000))
        << w.LastProblem().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("nach")) << w.LastProblem().toStdString();
    EXPECT_TRUE(w.StatusIsRed());
    EXPECT_TRUE(w.AlertPanel().contains("Uhr")) << w.AlertPanel().toStdString();
    EXPECT_TRUE(std::filesystem::exists(dir / "data/20000101.txt"));
    // Every further line is filed and still red, but told only once.
    const auto before = Lines(dir / "data/20000101.txt").size();
    ASSERT_TRUE(RunUntil([&] { return Lines(dir / "data/20000101.txt").size() > before + 1; }, 10000));
    EXPECT_TRUE(w.StatusIsRed());
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);
    w.close();
}

TEST_F(UnattendedStation, ASilentDeviceRaisesTheAlarmHasItsPortReopenedAndTheNextLineClearsIt)
{
    TDevSim sim({"--interval", "8"});
    ASSERT_TRUE(sim.Started());
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nStille-Sekunden=2\r\n");
    TMain w({"LOG"});
    int opened = 0;
    w.ComPort.OnAfterOpen = [&] { ++opened; };
    w.show();
    ASSERT_TRUE(RunUntil([&] { return w.AlertPanel().startsWith("Keine Daten seit "); }, 15000));
    EXPECT_TRUE(w.StatusIsRed());
    EXPECT_TRUE(RunUntil([&] { return opened > 0; }, 5000)) << "the port was not opened anew";
    ASSERT_TRUE(RunUntil([&] { return w.AlertPanel().isEmpty(); }, 20000)) << w.AlertPanel().toStdString();
    EXPECT_FALSE(w.StatusIsRed());
    EXPECT_NE(w.Service()->Status().Text().find("Loggen, letzte Zeile "), std::string::npos);
    w.close();
}

TEST_F(UnattendedStation, NoLineIsLostOrDoubledWhileTheMediumIsFull)
{
    SmallMedium medium(dir / "klein");
    if (!medium.mounted)
        GTEST_SKIP() << "no small filesystem to fill: mounting a tmpfs failed (" << medium.reason
                     << "); this test needs root";
    const std::string record = dir / "sent.bin";
    TDevSim sim({"--start", "2003-06-15T23:57:00", "--speed", "10", "--interval", "1", "--sensors", "2",
                 "--record", record});
    ASSERT_TRUE(sim.Started());
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + medium.path + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nUhr-Toleranz=0\r\n[Batch]\r\nIntervall=60\r\n");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return Lines(medium.path + "/20030615.txt").size() >= 10; }, 10000));

    medium.Fill();
    ASSERT_TRUE(RunUntil([&] { return w.Service()->Status().Text().find("Datenträger voll") != std::string::npos; },
                         20000))
        << w.Service()->Status().Text();
    // Midnight passes while the lines wait.
    ASSERT_TRUE(RunUntil([&] { return w.StatusIsRed() && w.AlertPanel().contains("warten") &&
                                      w.StatusPanel(0).contains(": 16.06.03 "); }, 40000))
        << w.AlertPanel().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("No space left")) << w.LastProblem().toStdString();

    medium.Free();
    ASSERT_TRUE(RunUntil([&] { return w.AlertPanel().isEmpty(); }, 10000)) << w.AlertPanel().toStdString();
    EXPECT_FALSE(w.StatusIsRed());
    RunFor(1000);
    w.close();

    const auto expected = ExpectedDayFiles(ReadBytes(record));
    ASSERT_EQ(expected.size(), 2u);
    for (const auto& [name, lines] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lines(medium.path + "/" + name), lines);
    }
}

// A stop while the medium is full: the waiting lines are kept in the state folder, and the next
// start files them, before its own lines, each once.
TEST_F(UnattendedStation, AStopOnAFullMediumLosesNoLineTheNextStartFilesThemAll)
{
    SmallMedium medium(dir / "klein");
    if (!medium.mounted)
        GTEST_SKIP() << "no small filesystem to fill: mounting a tmpfs failed (" << medium.reason
                     << "); this test needs root";
    const std::string record = dir / "sent.bin";
    TDevSim sim({"--start", "2003-06-15T12:00:00", "--speed", "50", "--interval", "1", "--record", record});
    ASSERT_TRUE(sim.Started());
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + medium.path + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nUhr-Toleranz=0\r\n[Batch]\r\nIntervall=60\r\n");
    const std::string day = medium.path + "/20030615.txt", spool = dir / "state/wartende-zeilen.txt";
    std::vector<std::string> before;
    {
        TMain w({"LOG"});
        w.show();
        ASSERT_TRUE(RunUntil([&] { return Lines(day).size() >= 5; }, 10000));
        medium.Fill();
        ASSERT_TRUE(RunUntil([&] { return w.Service()->Status().Text().find("Datenträger voll") != std::string::npos; },
                             20000))
            << w.Service()->Status().Text();
        RunFor(200);
        w.close();
        before = Lines(day);
    }
    const std::vector<std::string> kept = Lines(spool);
    ASSERT_GE(kept.size(), 5u);
    std::vector<std::string> upToStop = before;
    upToStop.insert(upToStop.end(), kept.begin(), kept.end());
    const std::vector<std::string> sentSoFar = ExpectedDayFiles(ReadBytes(record))["20030615.txt"];
    ASSERT_GE(sentSoFar.size(), upToStop.size());
    EXPECT_EQ(std::vector<std::string>(sentSoFar.begin(), sentSoFar.begin() + long(upToStop.size())), upToStop)
        << "a line received before the stop is missing";

    medium.Free();
    {
        TMain w({"LOG"});
        w.show();
        ASSERT_TRUE(RunUntil([&] { return Lines(day).size() >= upToStop.size() + 3; }, 10000));
        w.close();
    }
    EXPECT_FALSE(std::filesystem::exists(spool));
    // The kept lines first, then the new ones, each once and in the order sent (the lines sent
    // while no station listened are not there).
    const std::vector<std::string> filed = Lines(day);
    ASSERT_GE(filed.size(), upToStop.size());
    EXPECT_EQ(std::vector<std::string>(filed.begin(), filed.begin() + long(upToStop.size())), upToStop);
    const std::vector<std::string> sent = ExpectedDayFiles(ReadBytes(record))["20030615.txt"];
    std::size_t at = upToStop.size();
    for (std::size_t i = upToStop.size(); i < filed.size(); ++i) {
        while (at < sent.size() && sent[at] != filed[i]) ++at;
        ASSERT_LT(at, sent.size()) << "filed twice or never sent: " << filed[i];
        ++at;
    }
}
