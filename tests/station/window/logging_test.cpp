#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <set>
#include <vector>

#include "../../devsim/DevSim.h"
#include "RecordedLines.h"
#include "StationTest.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"
#include "station/MainWindow.h"

namespace {

using LoggingStation = StationTest;

}  // namespace

// The station with a real device across midnight, through a hang-up and a pause: what the
// window shows on the way, and every line sent while the port was open in its day file once.
TEST_F(LoggingStation, EveryLineSentWhileOpenLandsOnceInItsDayFile)
{
    const std::string record = dir / "sent.bin";
    // Two device minutes per real second, ninety seconds before midnight; the line goes away some
    // seconds of device time after midnight and comes back a second later.
    TDevSim sim({"--start", "2003-06-15T23:58:30", "--speed", "120", "--interval", "1", "--sensors", "2", "--record",
                 record, "--fault", "hangup-after=2400"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n");
    StderrCapture err(dir / "stderr.txt");

    TMain w({"log"});
    w.show();
    EXPECT_TRUE(w.LogMode());
    ASSERT_TRUE(w.Runtime()->Port().IsOpen()) << w.Runtime()->Port().LastError();

    // The warning about the lost device is not left standing once the line is back: the same
    // box says so.
    ASSERT_TRUE(RunUntil([&] { return !w.Runtime()->Port().IsOpen(); }, 30000)) << "no hang-up seen";
    EXPECT_EQ(w.ApplicationTitle(), "Gerät getrennt...");
    EXPECT_EQ(w.StatusPanel(1), "Getrennt");
    EXPECT_FALSE(Lines(dir / "data/20030616.txt").empty()) << "midnight not passed while the port was open";
    const auto boxes = w.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->text().startsWith("Keine Verbindung zum Gerät: ")) << boxes[0]->text().toStdString();
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning);
    ASSERT_TRUE(RunUntil([&] { return w.Runtime()->Port().IsOpen(); }, 15000)) << "port not reopened";
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_TRUE(boxes[0]->text().startsWith("Das Gerät ist wieder verbunden (" + QString::fromStdString(sim.Link())))
        << boxes[0]->text().toStdString();
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Information);
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);

    w.LoggenStartStoppClick();
    EXPECT_TRUE(w.Paused());
    EXPECT_EQ(w.ApplicationTitle(), "Pause...");
    EXPECT_EQ(w.StatusPanel(1), "Pause...");
    EXPECT_FALSE(w.Runtime()->Port().IsOpen());
    RunFor(200);  // the device's lines meanwhile are lost on the wire
    w.LoggenStartStoppClick();
    EXPECT_FALSE(w.Paused());
    EXPECT_TRUE(w.Runtime()->Port().IsOpen());
    const auto loggedBefore = Lines(dir / "data/20030616.txt").size();
    ASSERT_TRUE(RunUntil([&] { return Lines(dir / "data/20030616.txt").size() > loggedBefore + 5; }, 10000));
    EXPECT_TRUE(w.ApplicationTitle().startsWith("Logging X/")) << w.ApplicationTitle().toStdString();
    EXPECT_EQ(w.StatusPanel(1), "Logging...");
    EXPECT_EQ(w.LogFileName(), dir / "data/20030616.txt");
    EXPECT_TRUE(RunUntil([&] { return w.StatusPanel(0).startsWith("20030616.txt: 16.06.03 "); }, 5000))
        << w.StatusPanel(0).toStdString();
    w.close();

    const auto expected = ExpectedDayFiles(ReadBytes(record));
    ASSERT_EQ(expected.size(), 2u);
    for (const auto& [name, lines] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lines(dir / ("data/" + name)), lines);
    }
    EXPECT_GT(expected.at("20030615.txt").size(), 20u);
    // A station that runs as a service tells its journal too.
    const std::string text = err.Text();
    EXPECT_NE(text.find("MOX_View: Keine Verbindung zum Gerät"), std::string::npos) << text;
    EXPECT_NE(text.find("MOX_View: Das Gerät ist wieder verbunden"), std::string::npos) << text;
}

// A device at a high line rate: the status bar shows the latest line a few times a second,
// not every line, and the latest one soon after it came.
TEST_F(LoggingStation, TheStatusLineFollowsFastDevicesAFewTimesASecond)
{
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\nUhr-Toleranz=0\r\n");
    TMain w({"LOG"});
    w.show();
    std::string last;
    int sent = 0;
    auto send = [&] {
        char line[64];
        std::snprintf(line, sizeof line, "15.06.03 12:%02d:%02d:  %d", sent / 60 % 60, sent % 60, 100 + sent % 7);
        last = line;
        ++sent;
        w.Runtime()->Port().OnLine(last);
    };
    // Two hundred lines a second, the event loop running between them.
    std::set<QString> shown;
    QTimer device;
    QObject::connect(&device, &QTimer::timeout, [&] {
        send();
        shown.insert(w.StatusPanel(0));
    });
    QElapsedTimer took;
    took.start();
    device.start(5);
    // The shown line follows while lines keep coming.
    EXPECT_TRUE(RunUntil([&] { return shown.size() >= 2 && took.elapsed() >= 300; }, 5000));
    device.stop();
    const qint64 ms = took.elapsed();
    EXPECT_EQ(Lines(dir / "data/20030615.txt").size(), std::size_t(sent));
    EXPECT_LE(shown.size(), std::size_t(1 + ms / 100)) << "more often than ten times a second";
    EXPECT_TRUE(RunUntil([&] { return w.StatusPanel(0).endsWith(QString::fromStdString(last)); }, 5000))
        << w.StatusPanel(0).toStdString();
    w.close();
}

TEST_F(LoggingStation, APortThatCannotBeOpenedIsNamedAndTriedAgain)
{
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir.str() + "\r\n[COM-Port]\r\nPort=" + dir / "tty" + "\r\n");
    TMain w({"LOG"});
    w.show();
    EXPECT_FALSE(w.Runtime()->Port().IsOpen());
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(dir / "tty"))) << w.LastProblem().toStdString();
    EXPECT_EQ(w.ApplicationTitle(), "Gerät getrennt...");
    w.close();
}
