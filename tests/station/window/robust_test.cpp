// The station against hostile settings and misbehaving upload commands.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QTimer>
#include <filesystem>

#include "../../devsim/DevSim.h"
#include "StationTest.h"
#include "station/MainWindow.h"
#include "station/app/BatchRun.h"
#include "station/runtime/UploadRunner.h"
#include "widgets/DiagramView.h"

namespace {

using StationRobust = StationTest;

const std::string kStation = MOX_BINARY_DIR "/bin/MOX_View";

std::string Script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string script = dir / name;
    WriteBytes(script, "#!/bin/sh\n" + body);
    chmod(script.c_str(), 0755);
    return script;
}

// Sizes beyond any screen and timers beyond an int's milliseconds.
const std::string kExtremeDiagram = "[Diagram]\r\nWidth=2147483647\r\nHeight=100000\r\nTop=2147483647\r\n";

}  // namespace

TEST_F(StationRobust, UploadTimeLimitEndsTheClientsTheCommandStarted)
{
    // The script starts a client that ignores TERM and hangs, and waits for it.
    const std::string client = dir / "client.pid";
    const std::string script = Script(
        dir, "upload.sh", "sh -c 'trap \"\" TERM; echo $$ > " + client + "; while :; do sleep 1; done' &\nwait\n");
    UploadRunner runner;
    runner.SetGraceTime(500);
    std::string problem;
    runner.OnProblem = [&](const std::string& p) { problem = p; };
    ASSERT_TRUE(runner.Start(script, "", 1000));
    ASSERT_TRUE(RunUntil([&] { return Running(client); }, 5000));
    EXPECT_TRUE(RunUntil([&] { return !Running(client); }, 15000)) << "the client outlived the limit";
    EXPECT_TRUE(RunUntil([&] { return !problem.empty(); }, 5000));
    EXPECT_NE(problem.find("nach 1 s abgebrochen"), std::string::npos) << problem;
    EXPECT_NE(problem.find(script), std::string::npos) << problem;
}

TEST_F(StationRobust, AChattyUploadLeavesTheStationsOutputAloneAndItsLastWordsAreTold)
{
    const std::string script = Script(dir, "upload.sh",
                                      "head -c 5000000 /dev/zero | tr '\\0' 'x'\necho\n"
                                      "echo 'Anmeldung fehlgeschlagen' >&2\nexit 3\n");
    // The station's own output goes to a file for the time of the run.
    std::fflush(stdout);
    const int saved = dup(1);
    const int file = open((dir / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    dup2(file, 1);
    close(file);
    UploadRunner runner;
    std::string problem;
    runner.OnProblem = [&](const std::string& p) { problem = p; };
    const bool started = runner.Start(script, "", 60000);
    RunUntil([&] { return !problem.empty(); }, 60000);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    ASSERT_TRUE(started);
    EXPECT_LT(std::filesystem::file_size(dir / "stdout.txt"), 1000u);
    EXPECT_NE(problem.find("endete mit Code 3"), std::string::npos) << problem.substr(0, 300);
    EXPECT_NE(problem.find("Anmeldung fehlgeschlagen"), std::string::npos) << problem.substr(0, 300);
    EXPECT_LT(problem.size(), 2000u);
}

TEST_F(StationRobust, LoggingStationWithExtremeSettingsBoundsThemAndPublishes)
{
    TDevSim sim({"--speed", "30", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data", images = dir / "web";
    std::filesystem::create_directory(data);
    WriteIni(kExtremeDiagram + "[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + images +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\n[Batch]\r\nBildformat=2\r\nStandard=0\r\nBreite=200000\r\nHoehe=200000\r\n"
             "Intervall=35792\r\nFTP-Timeout=2147484\r\nWAP=0\r\nHTML=0\r\n");

    TMain w({"LOG"});
    w.show();
    EXPECT_TRUE(w.LastProblem().contains("Intervall=35792 liegt nicht zwischen 1 und 30"))
        << w.LastProblem().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("Width=2147483647")) << w.LastProblem().toStdString();
    bool batchTimer = false;
    for (const QTimer* t : w.Runtime()->findChildren<QTimer*>()) batchTimer |= t->interval() == 30 * 60000;
    EXPECT_TRUE(batchTimer) << "no batch timer at 30 minutes";
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty(); }, 5000));
    RunFor(1500);
    w.Runtime()->RunBatch();
    EXPECT_EQ(PngSize(images + "/mox_data.png"), std::make_pair(1200, 900));
    w.close();
}

TEST_F(StationRobust, ViewerAndOneShotRunWithExtremeSettings)
{
    const std::string images = dir / "bilder";
    WriteIni(kExtremeDiagram + "[Verzeichnisse]\r\nBilder=" + images + "\r\n[Batch]\r\nBildformat=2\r\n");
    std::string day;
    for (int s = 0; s < 3 * 3600; s += 10) {
        char line[64];
        std::snprintf(line, sizeof line, "15.06.03 %02d:%02d:%02d: Y,  %d\r\n", s / 3600, s / 60 % 60, s % 60,
                      100 + s % 7);
        day += line;
    }
    WriteBytes(dir / "20030615.txt", day);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MOX_INI", QString::fromStdString(ini));
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess oneShot;
    oneShot.setProcessEnvironment(env);
    oneShot.start(QString::fromStdString(kStation), {QString::fromStdString(dir / "20030615.txt"), "500", "320"});
    ASSERT_TRUE(oneShot.waitForFinished(60000));
    const std::string said = oneShot.readAllStandardError().toStdString();
    EXPECT_EQ(oneShot.exitCode(), 0) << said;
    EXPECT_EQ(PngSize(images + "/20030615.png"), std::make_pair(500, 320));
    EXPECT_NE(said.find("[Diagram] Width=2147483647 liegt nicht zwischen 400 und 7680"), std::string::npos) << said;

    QProcess viewer;
    viewer.setProcessEnvironment(env);
    viewer.start(QString::fromStdString(kStation), QStringList{});
    std::string told;
    ASSERT_TRUE(RunUntil(
        [&] {
            viewer.waitForReadyRead(100);
            told += viewer.readAllStandardError().toStdString();
            return told.find("Height=100000") != std::string::npos || viewer.state() == QProcess::NotRunning;
        },
        30000))
        << told;
    RunFor(500);
    EXPECT_EQ(viewer.state(), QProcess::Running) << told;
    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(30000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit) << told;
}

TEST_F(StationRobust, APictureTooLargeForMemoryCostsThatPictureOnly)
{
    TMain w({});
    const std::string base = dir / "bild";
    EXPECT_EQ(DrawAndSave(w.Diagram, {2147483647, 2147483647}, base, 2),
              "zu wenig Speicher für ein Bild von 2147483647 x 2147483647 Pixeln");
    EXPECT_EQ(w.Diagram.MOX_Image, &w.Image()->Image);
    EXPECT_EQ(DrawAndSave(w.Diagram, {400, 250}, base, 2), "");
    EXPECT_EQ(PngSize(base + ".png"), std::make_pair(400, 250));
}

TEST_F(StationRobust, ControlCharactersOfAFolderSettingAreShownInTheMessage)
{
    TDevSim sim({"--speed", "30", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data";
    std::filesystem::create_directory(data);
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + dir / "bil" + std::string(1, '\0') +
             "d\x1b" + "er\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n[Batch]\r\nBildformat=2\r\n");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty(); }, 5000));
    RunFor(1500);
    w.Runtime()->RunBatch();
    const std::string told = w.LastProblem().toStdString();
    EXPECT_NE(told.find("bil\\x00d\\x1Ber/mox_data"), std::string::npos) << told;
    w.close();
}
