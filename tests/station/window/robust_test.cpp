// The station against hostile settings.
#include <gtest/gtest.h>

#include <csignal>

#include <QProcess>
#include <QTimer>
#include <string>

#include "../../devsim/DevSim.h"
#include "StationTest.h"
#include "station/MainWindow.h"
#include "station/app/BatchRun.h"
#include "widgets/DiagramView.h"

namespace {

using StationRobust = StationTest;

const std::string kStation = MOX_BINARY_DIR "/bin/MOX_View";

// Whether the process has a handler of its own for the signal.
bool CatchesSignal(qint64 pid, int signal)
{
    const std::string status = ReadBytes("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("SigCgt:");
    if (at == std::string::npos) return false;
    return (std::stoull(status.substr(at + 7), nullptr, 16) >> (signal - 1)) & 1;
}

// Sizes beyond any screen and timers beyond an int's milliseconds.
const std::string kExtremeDiagram = "[Diagram]\r\nWidth=2147483647\r\nHeight=100000\r\nTop=2147483647\r\n";

}  // namespace

// What the reader bounded is shown to the observer, and the batch timer gets an interval that
// fits its milliseconds.
TEST_F(StationRobust, ALoggingWindowWithExtremeSettingsShowsWhatWasBounded)
{
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    WriteIni(kExtremeDiagram + "[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n[Batch]\r\nIntervall=35792\r\nFTP-Timeout=2147484\r\n");
    TMain w({"LOG"});
    EXPECT_TRUE(w.LastProblem().contains("Intervall=35792 liegt nicht zwischen 1 und 30"))
        << w.LastProblem().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("Width=2147483647")) << w.LastProblem().toStdString();
    bool batchTimer = false;
    for (const QTimer* t : w.Runtime()->findChildren<QTimer*>()) batchTimer |= t->interval() == 30 * 60000;
    EXPECT_TRUE(batchTimer) << "no batch timer at 30 minutes";
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
    // Its stop handler is set once the window is made; a TERM then closes the window through
    // the event loop, and the program ends as usual.
    ASSERT_TRUE(RunUntil(
        [&] { return CatchesSignal(viewer.processId(), SIGTERM) || viewer.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(viewer.state(), QProcess::Running);
    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(30000));
    const std::string told = viewer.readAllStandardError().toStdString();
    EXPECT_NE(told.find("Height=100000"), std::string::npos) << told;
    EXPECT_EQ(viewer.exitCode(), 0) << told;
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
