#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QMessageBox>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "../../devsim/DevSim.h"
#include "../../support/RawDay.h"
#include "StationTest.h"
#include "station/MainWindow.h"

namespace {

using StationBatch = StationTest;

const std::string kStation = MOX_BINARY_DIR "/bin/MOX_View";

}  // namespace

// The batch of a station whose folders are missing: the window shows the day, tells of the
// folders it made in its one message box, and its busy cursor ends with the batch.
TEST_F(StationBatch, ThePeriodicRunShowsTheDayAndWhatItToldInOneBox)
{
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "nicht-da/daten", images = dir / "bilder/neu";
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + images +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\nUhr-Toleranz=0\r\n[Batch]\r\nBildformat=2\r\n");
    TMain w({"LOG"});
    w.show();
    for (int s = 0; s < 120; ++s) {
        char line[64];
        std::snprintf(line, sizeof line, "15.06.03 12:%02d:%02d: Y,  %d", s / 60, s % 60, 100 + s % 7);
        w.Runtime()->Port().OnLine(line);
    }
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(data))) << w.LastProblem().toStdString();
    EXPECT_TRUE(w.LastProblem().contains("angelegt")) << w.LastProblem().toStdString();
    EXPECT_FALSE(w.StatusIsRed());
    w.Runtime()->RunBatch();
    EXPECT_EQ(w.Runtime()->BatchCount(), 1);
    EXPECT_FALSE(w.Diagram.is_empty());
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(images + "/"))) << w.LastProblem().toStdString();
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(PngSize(images + "/mox_data.png"), std::make_pair(642, 376));
    w.close();
}

// With both sizes given the picture is drawn without Qt: a platform plugin that does not
// exist would end any Qt start. Sizes beyond the limit are refused before anything is drawn,
// and a picture too big for the memory ends the run with a message instead of an abort.
TEST_F(StationBatch, OneShotImageWithSizesNeedsNoQtAndRefusesHugeSizes)
{
    const std::string images = dir / "bilder";
    WriteIni("[Verzeichnisse]\r\nBilder=" + images + "\r\n[Batch]\r\nBildformat=2\r\n");
    WriteBytes(dir / "20030615.txt", RawDay("15.06.03"));
    const auto run = [&](const std::string& prefix, const std::string& size, std::string& out) {
        const std::string cmd = prefix + " env MOX_INI=" + ini + " QT_QPA_PLATFORM=keine-anzeige " + kStation + " " +
                                dir / "20030615.txt" + " " + size + " >" + dir / "out" + " 2>&1";
        const int status = std::system(cmd.c_str());
        out = ReadBytes(dir / "out");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("", "500 320", out), 0) << out;
    EXPECT_EQ(out, images + "/20030615.png\n");
    EXPECT_EQ(PngSize(images + "/20030615.png"), std::make_pair(500, 320));

    std::filesystem::remove(images + "/20030615.png");
    EXPECT_EQ(run("", "65536 65536", out), 2);
    EXPECT_NE(out.find("höchstens 10000 Pixel"), std::string::npos) << out;
    EXPECT_EQ(run("", "500 10001", out), 2);
    EXPECT_FALSE(std::filesystem::exists(images + "/20030615.png"));

    // Room for the picture but not for its copy in the file's colours.
    EXPECT_EQ(run("ulimit -v 110000;", "4000 4000", out), 1);
    EXPECT_NE(out.find("zu wenig Speicher"), std::string::npos) << out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images), {}), 0);
}

TEST_F(StationBatch, OneShotImageRunsWithoutADisplay)
{
    const std::string images = dir / "bilder";
    WriteIni("[Verzeichnisse]\r\nBilder=" + images + "\r\n[Batch]\r\nBildformat=2\r\n");
    WriteBytes(dir / "20030615.txt", RawDay("15.06.03"));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MOX_INI", QString::fromStdString(ini));
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    run.setProcessEnvironment(env);
    run.start(QString::fromStdString(kStation), {QString::fromStdString(dir / "20030615.txt"), "500", "320"});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(PngSize(images + "/20030615.png"), std::make_pair(500, 320));
    EXPECT_TRUE(std::filesystem::exists(dir / "20030615.mox"));

    // Under the C locale, as from cron: a comma correction is read, a broken line is told.
    WriteBytes(dir / "20030615.kor", "By;01:00;2,5\r\nBy;02:00;x\r\n");
    WriteIni("[Verzeichnisse]\r\nBilder=" + images + "\r\n[Batch]\r\nBildformat=2\r\n[Diagram]\r\nKorrektur=1\r\n");
    env.insert("LC_ALL", "C");
    run.setProcessEnvironment(env);
    run.start(QString::fromStdString(kStation), {QString::fromStdString(dir / "20030615.txt")});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0);
    const std::string told = run.readAllStandardError().toStdString();
    EXPECT_NE(told.find("20030615.kor, Zeile 2: By;02:00;x"), std::string::npos) << told;
    EXPECT_EQ(told.find("Zeile 1"), std::string::npos) << told;

    // Sizes that are not numbers end the run with an error instead of a window left open.
    run.start(QString::fromStdString(kStation), {QString::fromStdString(dir / "20030615.txt"), "breit"});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 2);
    // A missing file ends the run too, with an error.
    run.start(QString::fromStdString(kStation), {QString::fromStdString(dir / "fehlt.txt")});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 1);
}
