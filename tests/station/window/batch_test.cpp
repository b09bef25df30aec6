#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>

#include <QDateTime>
#include <QProcess>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "../../devsim/DevSim.h"
#include "../../support/SmallDisk.h"
#include "StationTest.h"
#include "mox/rtl/IniFile.h"
#include "station/MainWindow.h"
#include "station/runtime/UploadRunner.h"

namespace {

// A raw log of the given day: one reading every ten seconds from 00:00 to 05:59.
std::string RawDay(const std::string& date)
{
    std::string text;
    for (int s = 0; s < 6 * 3600; s += 10) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %02d:%02d:%02d: Y,  %d\r\n", date.c_str(), s / 3600, s / 60 % 60, s % 60,
                      100 + (s / 600) % 17);
        text += line;
    }
    return text;
}

using StationBatch = StationTest;

const std::string kStation = MOX_BINARY_DIR "/bin/MOX_View";

}  // namespace

TEST_F(StationBatch, PeriodicRunPublishesImagesPagesAndStartsTheUpload)
{
    TDevSim sim({"--speed", "30", "--interval", "1", "--sensors", "2"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data", images = dir / "web";  // no trailing '/': still a folder
    std::filesystem::create_directory(data);
    std::filesystem::create_directory(images);
    WriteBytes(images + "/Header.txt", "<html><body>\r\n<p>Daten:\r\n");
    WriteBytes(images + "/Footer.txt", "</p>\r\n</body></html>\r\n");
    const std::string script = UploadScript();
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + images + "\r\n[COM-Port]\r\nPort=" +
             sim.Link() + "\r\n[Batch]\r\nBildformat=2\r\nVorschau=1\r\nFTP-Kommando=" + script +
             "\r\nFTP-Intervall=2\r\nFTP-Timeout=1\r\n[Diagram]\r\nKorrektur=1\r\n");
    // A correction file of the day with a line that cannot be read: the observer is told.
    const std::string today = QDateTime::currentDateTimeUtc().toString("yyyyMMdd").toStdString();
    WriteBytes(data + "/" + today + ".kor", "By;00:00;1,5\r\nBy;01:00;eins\r\n");

    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty(); }, 5000));
    RunFor(1500);
    w.Runtime()->RunBatch();
    EXPECT_EQ(w.Runtime()->BatchCount(), 1);
    EXPECT_TRUE(w.LastProblem().contains(QString::fromStdString(today + ".kor, Zeile 2: By;01:00;eins")))
        << w.LastProblem().toStdString();
    EXPECT_FALSE(w.LastProblem().contains("Zeile 1"));
    EXPECT_TRUE(w.Runtime()->Port().IsOpen());  // the snapshot does not stop the reception
    EXPECT_FALSE(w.Diagram.is_empty());
    EXPECT_EQ(PngSize(images + "/mox_data.png"), std::make_pair(642, 376));
    EXPECT_EQ(PngSize(images + "/mox_small.png"), std::make_pair(400, 250));
    EXPECT_EQ(PngSize(images + "/mox_data_wap.png"), std::make_pair(96, 65));
    EXPECT_FALSE(ReadBytes(images + "/mox_data.wap").empty());
    EXPECT_FALSE(ReadBytes(images + "/mox_data_wap.txt").empty());
    const std::string page = ReadBytes(images + "/mox_data.htm");
    EXPECT_EQ(page.rfind("<html><body>\r\n<p>Daten:\r\n\"", 0), 0u) << page.substr(0, 80);
    EXPECT_NE(page.find("\"</p>\r\n</body></html>\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "webmox_data.png"));
    EXPECT_TRUE(std::filesystem::exists(data + "/mox_data.mox"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Every second batch starts the upload; its time limit ends it.
    EXPECT_FALSE(std::filesystem::exists(UploadPid()));
    w.Runtime()->RunBatch();
    ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(UploadPid()); }, 3000));
    EXPECT_TRUE(Running(UploadPid()));
    EXPECT_TRUE(RunUntil([&] { return !Running(UploadPid()); }, 4000)) << "upload not ended";
    w.close();
}

// The page is on from the start; while its templates are missing the observer learns once
// which files are missing where, though other problems come and go between the batches.
TEST_F(StationBatch, MissingPageTemplatesAreNamedOnce)
{
    TDevSim sim({"--speed", "30", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string images = dir / "web";
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir.str() + "\r\nBilder=" + images +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\n[Batch]\r\nBildformat=2\r\nFTP-Intervall=1\r\nFTP-Kommando=" + dir / "no-upload" + "\r\n");
    StderrCapture err(dir / "stderr.txt");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty(); }, 5000));
    RunFor(1000);
    for (int batch = 0; batch < 3; ++batch) w.Runtime()->RunBatch();
    EXPECT_EQ(w.Runtime()->BatchCount(), 3);
    WriteBytes(images + "/Header.txt", "<html>\r\n");
    w.Runtime()->RunBatch();
    WriteBytes(images + "/Footer.txt", "</html>\r\n");
    w.Runtime()->RunBatch();
    w.close();
    EXPECT_FALSE(ReadBytes(images + "/mox_data.htm").empty());

    const std::string text = err.Text();
    auto count = [&text](const std::string& what) {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("im Bildverzeichnis " + images + "/ fehlen Header.txt und Footer.txt"), 1) << text;
    EXPECT_EQ(count("fehlt Footer.txt"), 1) << text;
    EXPECT_EQ(count("Die HTML-Seite"), 2) << text;
    EXPECT_EQ(count("Das Upload-Kommando startet nicht"), 1) << text;  // the same failure, told once
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

    EXPECT_EQ(run("ulimit -v 600000;", "10000 10000", out), 1);
    EXPECT_NE(out.find("zu wenig Speicher"), std::string::npos) << out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images), {}), 0);
}

TEST_F(StationBatch, UploadThatCannotStartIsToldAndTheBatchGoesOn)
{
    UploadRunner runner;
    EXPECT_FALSE(runner.Start(dir / "no-such-script", "", 1000));
    EXPECT_NE(runner.LastError().find("no-such-script"), std::string::npos);
    EXPECT_TRUE(runner.Start("/bin/true", "", 1000));
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

// A nearly full data medium: the copy of the day log and its conversion do not fit beside it.
// The batch draws from a copy in the runtime folder, publishes its picture and writes no day
// file into the data folder; the previous day's day file, older than its log, is not taken.
TEST_F(StationBatch, ANearlyFullDataMediumStillGetsItsPictureAndNoDayFile)
{
    SmallDisk disk(dir / "data", 512);
    REQUIRE_SMALL_DISK(disk);
    TDevSim sim({"--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::string today = now.toString("yyyyMMdd").toStdString();
    const std::string yesterday = now.addDays(-1).toString("yyyyMMdd").toStdString();
    WriteBytes(disk / (yesterday + ".mox"), "TYPE: 1\r\n");  // cut off by an earlier full medium
    WriteBytes(disk / (yesterday + ".txt"), RawDay(now.addDays(-1).toString("dd.MM.yy").toStdString()));
    WriteBytes(disk / (today + ".txt"), RawDay(now.toString("dd.MM.yy").toStdString()));
    const std::string images = dir / "web";
    std::filesystem::create_directory(images);
    const char* savedRun = std::getenv("XDG_RUNTIME_DIR");
    const std::string runBefore = savedRun ? savedRun : "";
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    unsetenv("RUNTIME_DIRECTORY");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + disk / "" + "\r\nBilder=" + images +
             "\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n[Batch]\r\nBildformat=2\r\nVortag=1\r\nHTML=0\r\n");
    TMain w({"LOG"});
    w.show();
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty(); }, 5000));
    // Leave 12 kB.
    struct statvfs fs {};
    ASSERT_EQ(statvfs((dir / "data").c_str(), &fs), 0);
    const long long leave = (long long)fs.f_bavail * fs.f_frsize - 12 * 1024;
    ASSERT_GT(leave, 0);
    WriteBytes(disk / "fill", std::string(std::size_t(leave), 'x'));
    w.Runtime()->RunBatch();
    EXPECT_EQ(PngSize(images + "/mox_data.png"), std::make_pair(642, 376));
    EXPECT_TRUE(w.LastProblem().contains("aus einer Kopie in")) << w.LastProblem().toStdString();
    EXPECT_FALSE(std::filesystem::exists(disk / (today + ".mox")));
    EXPECT_FALSE(std::filesystem::exists(disk / "mox_data.mox"));
    EXPECT_EQ(ReadBytes(disk / (yesterday + ".mox")), "TYPE: 1\r\n");
    // Yesterday drawn from its log, not from its cut-off day file.
    ASSERT_TRUE(w.Diagram.is_loaded(1));
    EXPECT_FALSE(std::isnan(w.Diagram.get_data(1, 10)));
    w.close();
    if (savedRun) setenv("XDG_RUNTIME_DIR", runBefore.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}
