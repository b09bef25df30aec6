// The logging station's periodic batch, driven with a fake port and clock: what it publishes
// where, what it tells the observer, and the upload it starts.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "../../support/PngSize.h"
#include "../../support/Process.h"
#include "../../support/RawDay.h"
#include "../../support/SmallDisk.h"
#include "FakeStation.h"
#include "mox/rtl/AtomicFile.h"
#include "station/app/BatchRun.h"
#include "station/app/Reports.h"
#include "station/runtime/UploadRunner.h"

namespace {

using StationBatchTest = RuntimeTest;

const char* const kDataOutputs[] = {"mox_data.txt", "mox_data.mox", "mox_data.log"};
const char* const kImageOutputs[] = {"mox_data.png",     "mox_small.png",    "mox_data.wap",
                                     "mox_data_wap.png", "mox_data_wap.txt", "mox_data.htm"};

// A batch that copies the day log whole and writes every output anew, into folders of its own:
// what the station's batch has always published.
class WholeBatch {
public:
    WholeBatch(const TempDir& dir, const TIniFile& ini, const std::string& templates, int run)
        : data(dir / ("whole-" + std::to_string(run) + "/data/")),
          images(dir / ("whole-" + std::to_string(run) + "/images/"))
    {
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(images);
        for (const char* t : {"Header.txt", "Footer.txt"}) std::filesystem::copy_file(templates + t, images + t);
        settings = ReadStationSettings(ini, diagram, true);
    }
    void Run(const std::string& log)
    {
        ASSERT_TRUE(CopyFileAtomically(log, data + "mox_data.txt"));
        ASSERT_EQ(LoadDay(diagram, data + "mox_data.txt", settings.BatchVortag), "");
        diagram.bestimme_K_Wert();
        BatchOutputs out;
        out.ImageDir = images;
        out.Format = 2;
        out.Preview = settings.BatchVorschau;
        Reports reports;
        ASSERT_TRUE(PublishDay(diagram, out, reports));
    }

    std::string data, images;

private:
    TMOX_Diagram diagram;
    StationSettings settings;
};

// (inode, modification time in ns) of every file the batch publishes.
std::map<std::string, std::pair<ino_t, long long>> Stamps(const std::string& data, const std::string& images)
{
    std::map<std::string, std::pair<ino_t, long long>> stamps;
    auto add = [&](const std::string& path) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0)
            stamps[path] = {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
    };
    for (const char* f : kDataOutputs) add(data + f);
    for (const char* f : kImageOutputs) add(images + f);
    return stamps;
}

}  // namespace

TEST_F(StationBatchTest, TheBatchPublishesImagePagesAndStartsTheUploadOnItsSchedule)
{
    const std::string script = dir / "upload.sh";
    WriteBytes(script, "#!/bin/sh\necho $$ >> " + dir / "uploads" + "\n");
    chmod(script.c_str(), 0755);
    Start("[Batch]\r\nFTP-Kommando=" + script + "\r\nFTP-Intervall=2\r\nVorschau=1\r\nBildformat=2\r\n");
    int loaded = 0;
    runtime->OnDayLoaded = [&] { ++loaded; };
    runtime->RunBatch();  // nothing logged yet: nothing to draw
    EXPECT_EQ(runtime->BatchCount(), 0);
    SendLines(120);
    runtime->RunBatch();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(runtime->BatchCount(), 1);
    for (const char* f : {"mox_data.png", "mox_small.png", "mox_data.wap", "mox_data_wap.png", "mox_data_wap.txt"})
        EXPECT_TRUE(std::filesystem::exists(images + f)) << f;
    // The page waits for its templates, told once.
    EXPECT_FALSE(std::filesystem::exists(images + "mox_data.htm"));
    EXPECT_EQ(Told("Header.txt").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "uploads"));
    // The WAP text keeps the station's date format.
    EXPECT_EQ(FileLines(images + "mox_data.wap").at(3), "15.06.03");

    WriteBytes(images + "Header.txt", "<html><body>\r\n");
    WriteBytes(images + "Footer.txt", "</body></html>\r\n");
    SendLines(60);
    runtime->RunBatch();
    EXPECT_TRUE(std::filesystem::exists(images + "mox_data.htm"));
    EXPECT_EQ(Told("Header.txt").size(), 1u);
    // Every second batch starts the upload.
    ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(dir / "uploads"); }, 5000));
    std::filesystem::remove(images + "Footer.txt");
    runtime->RunBatch();
    EXPECT_EQ(Told("Footer.txt").size(), 2u);  // the first message named both templates
    EXPECT_EQ(told.back().Text.find("Header.txt"), std::string::npos) << told.back().Text;
}

// The batch appends to its copy of the day log and writes only what changed; whatever happens
// to the log and the copy between two batches, it publishes exactly what a batch that copies
// and writes everything whole publishes.
TEST_F(StationBatchTest, TheBatchPublishesWhatAWholeCopyWouldAndRewritesNothingUnchanged)
{
    Start("[Batch]\r\nBildformat=2\r\nVorschau=1\r\nWAP=1\r\nHTML=1\r\n");
    std::filesystem::create_directories(images);
    WriteBytes(images + "Header.txt", "<html><body>\r\n");
    WriteBytes(images + "Footer.txt", "</body></html>\r\n");
    const std::string copy = data + "mox_data.txt";
    int run = 0;
    auto batchAsWhole = [&](const std::string& step) {
        runtime->RunBatch();
        WholeBatch whole(dir, *iniFile, images, ++run);
        whole.Run(runtime->Logger().LogFileName());
        EXPECT_EQ(ReadBytes(copy), ReadBytes(runtime->Logger().LogFileName())) << step;
        for (const char* f : kDataOutputs)
            EXPECT_EQ(ReadBytes(data + f), ReadBytes(whole.data + f)) << step << ": " << f;
        for (const char* f : kImageOutputs)
            EXPECT_EQ(ReadBytes(images + f), ReadBytes(whole.images + f)) << step << ": " << f;
        for (const std::string& folder : {data, images})
            for (const auto& e : std::filesystem::directory_iterator(folder))
                EXPECT_NE(e.path().extension(), ".tmp") << step << ": " << e.path();
    };

    SendLines(300);
    batchAsWhole("first batch");
    struct stat first {};
    stat(copy.c_str(), &first);
    SendLines(120);
    batchAsWhole("log grown");
    struct stat grown {};
    stat(copy.c_str(), &grown);
    EXPECT_EQ(grown.st_ino, first.st_ino);  // appended to, not written anew

    // No new line: no file is written again.
    const auto before = Stamps(data, images);
    ASSERT_EQ(before.size(), 9u);
    batchAsWhole("nothing new");
    EXPECT_EQ(Stamps(data, images), before);

    // The copy edited in its middle, deleted, or the log replaced by another file.
    {
        std::fstream edit(copy, std::ios::in | std::ios::out | std::ios::binary);
        edit.seekp(100);
        edit.put('#');
    }
    SendLines(60);
    batchAsWhole("copy edited");
    std::filesystem::remove(copy);
    SendLines(60);
    batchAsWhole("copy deleted");
    const std::string log = runtime->Logger().LogFileName();
    std::string other = ReadBytes(log);
    other.erase(0, other.find('\n') + 1);
    WriteBytes(log + ".neu", other);
    std::filesystem::rename(log + ".neu", log);
    batchAsWhole("log replaced");
    SendLines(30);
    batchAsWhole("replaced log grown");
    std::filesystem::resize_file(log, std::filesystem::file_size(log) / 2);
    batchAsWhole("log cut back");

    // A new day: its own log, a new copy.
    wall += 86400 - wall % 86400;
    SendLines(120);
    ASSERT_NE(runtime->Logger().LogFileName(), log);
    batchAsWhole("new day");
    SendLines(60);
    batchAsWhole("new day grown");
    // The logger's word on the replaced log is the only warning.
    for (const Report& r : told) {
        if (r.Text.find("gelöscht oder verschoben") == std::string::npos) {
            EXPECT_FALSE(r.Level == LogLevel::Warning && !r.Text.empty()) << r.Text;
        }
    }
}

TEST_F(StationBatchTest, WithPublishingOnTheFilesKeepTheStationsDateFormat)
{
    // No broker listens: the lines wait in the spool, the batch goes on as ever.
    Start("[MQTT]\r\nHost=127.0.0.1\r\nPort=1\r\nStation=Nord\r\n");
    SendLines(120);
    EXPECT_EQ(runtime->MqttBacklog(), 120u);
    runtime->RunBatch();
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.mm.yy");
    EXPECT_EQ(FileLines(images + "mox_data.wap").at(3), "15.06.03");
    const std::string graphData = ReadBytes(images + "mox_data_wap.txt");
    EXPECT_NE(graphData.find(",15.06.03,"), std::string::npos) << graphData.substr(0, 40);
    EXPECT_EQ(runtime->MqttText().rfind("MQTT getrennt: ", 0), 0u) << runtime->MqttText();
}

TEST_F(StationBatchTest, PicturesPageAndDayFileAreWhereAndAsLargeAsSetAndABadCorrectionLineIsTold)
{
    const std::string web = dir / "web";  // no trailing '/': still a folder
    std::filesystem::create_directories(web);
    WriteBytes(web + "/Header.txt", "<html><body>\r\n<p>Daten:\r\n");
    WriteBytes(web + "/Footer.txt", "</p>\r\n</body></html>\r\n");
    // A correction file of the day with a line that cannot be read: the observer is told.
    WriteBytes(data + "20030615.kor", "By;00:00;1,5\r\nBy;01:00;eins\r\n");
    StartOn("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + web +
            "\r\n[COM-Port]\r\nPort=ttyFAKE\r\n[Batch]\r\nBildformat=2\r\nVorschau=1\r\n[Diagram]\r\nKorrektur=1\r\n");
    SendLines(120);
    runtime->RunBatch();
    EXPECT_EQ(runtime->BatchCount(), 1);
    EXPECT_TRUE(port->IsOpen());  // the snapshot does not stop the reception
    EXPECT_FALSE(diagram.is_empty());
    EXPECT_EQ(Told("20030615.kor, Zeile 2: By;01:00;eins").size(), 1u);
    EXPECT_TRUE(Told("Zeile 1").empty());
    EXPECT_EQ(PngSize(web + "/mox_data.png"), std::make_pair(642, 376));
    EXPECT_EQ(PngSize(web + "/mox_small.png"), std::make_pair(400, 250));
    EXPECT_EQ(PngSize(web + "/mox_data_wap.png"), std::make_pair(96, 65));
    EXPECT_FALSE(ReadBytes(web + "/mox_data.wap").empty());
    EXPECT_FALSE(ReadBytes(web + "/mox_data_wap.txt").empty());
    const std::string page = ReadBytes(web + "/mox_data.htm");
    EXPECT_EQ(page.rfind("<html><body>\r\n<p>Daten:\r\n\"", 0), 0u) << page.substr(0, 80);
    EXPECT_NE(page.find("\"</p>\r\n</body></html>\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "webmox_data.png"));
    EXPECT_TRUE(std::filesystem::exists(data + "mox_data.mox"));
}

// While the page's templates are missing the observer learns once which files are missing
// where, though other problems come and go between the batches; an upload command that cannot
// start is told once, however often it is tried.
TEST_F(StationBatchTest, MissingPageTemplatesAndAnUploadThatCannotStartAreToldOnce)
{
    Start("[Batch]\r\nBildformat=2\r\nFTP-Intervall=1\r\nFTP-Kommando=" + dir / "no-upload" + "\r\n");
    SendLines(60);
    for (int batch = 0; batch < 3; ++batch) runtime->RunBatch();
    EXPECT_EQ(runtime->BatchCount(), 3);
    WriteBytes(images + "Header.txt", "<html>\r\n");
    runtime->RunBatch();
    WriteBytes(images + "Footer.txt", "</html>\r\n");
    runtime->RunBatch();
    EXPECT_FALSE(ReadBytes(images + "mox_data.htm").empty());
    EXPECT_EQ(Told("im Bildverzeichnis " + images + " fehlen Header.txt und Footer.txt").size(), 1u);
    EXPECT_EQ(Told("fehlt Footer.txt").size(), 1u);
    EXPECT_EQ(Told("Die HTML-Seite").size(), 2u);
    EXPECT_EQ(Told("Das Upload-Kommando startet nicht").size(), 1u);
}

TEST_F(StationBatchTest, TheUploadsTimeLimitEndsTheCommandAndTheClientsItStarted)
{
    // The command starts a client that ignores TERM and hangs, and waits for it.
    const std::string client = dir / "client.pid";
    const std::string script = dir / "upload.sh";
    WriteBytes(script,
               "#!/bin/sh\nsh -c 'trap \"\" TERM; echo $$ > " + client + "; while :; do sleep 1; done' &\nwait\n");
    chmod(script.c_str(), 0755);
    Start("[Batch]\r\nBildformat=2\r\nFTP-Kommando=" + script + "\r\nFTP-Intervall=1\r\nFTP-Timeout=1\r\n");
    runtime->Uploads().SetGraceTime(100);
    SendLines(60);
    runtime->RunBatch();
    ASSERT_TRUE(RunUntil([&] { return Running(client); }, 5000));
    EXPECT_TRUE(RunUntil([&] { return !Running(client); }, 15000)) << "the client outlived the limit";
    EXPECT_TRUE(RunUntil([&] { return !Told("nach 1 s abgebrochen").empty(); }, 5000));
    for (const Report& r : Told("nach 1 s abgebrochen")) EXPECT_NE(r.Text.find(script), std::string::npos) << r.Text;
}

// Settings beyond any screen and timers beyond an int's milliseconds are bounded: the batch
// runs every 30 minutes at most and draws at most 1200 x 900 pixels.
TEST_F(StationBatchTest, ExtremeSettingsAreBoundedAndTheBatchPublishes)
{
    Start("[Diagram]\r\nWidth=2147483647\r\nHeight=100000\r\nTop=2147483647\r\n"
          "[Batch]\r\nBildformat=2\r\nStandard=0\r\nBreite=200000\r\nHoehe=200000\r\n"
          "Intervall=35792\r\nFTP-Timeout=2147484\r\nWAP=0\r\nHTML=0\r\n");
    EXPECT_EQ(runtime->BatchIntervalMinutes(), 30);
    SendLines(60);
    runtime->RunBatch();
    EXPECT_EQ(PngSize(images + "mox_data.png"), std::make_pair(1200, 900));
}

TEST_F(StationBatchTest, ControlCharactersOfAFolderSettingAreShownInTheMessage)
{
    StartOn("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + dir / "bil" + std::string(1, '\0') +
            "d\x1b" + "er\r\n[COM-Port]\r\nPort=ttyFAKE\r\n[Batch]\r\nBildformat=2\r\n");
    SendLines(60);
    runtime->RunBatch();
    EXPECT_FALSE(Told("bil\\x00d\\x1Ber/mox_data").empty());
}

// A nearly full data medium: the copy of the day log and its conversion do not fit beside it.
// The batch draws from a copy in the runtime folder, publishes its picture and writes no day
// file into the data folder; the previous day's day file, older than its log, is not taken.
TEST_F(StationBatchTest, ANearlyFullDataMediumStillGetsItsPictureAndNoDayFile)
{
    SmallDisk disk(dir / "klein", 512);
    REQUIRE_SMALL_DISK(disk);
    data = disk / "";
    WriteBytes(data + "20030614.mox", "TYPE: 1\r\n");  // cut off by an earlier full medium
    WriteBytes(data + "20030614.txt", RawDay("14.06.03"));
    WriteBytes(data + "20030615.txt", RawDay("15.06.03"));
    const char* savedRun = std::getenv("XDG_RUNTIME_DIR");
    const std::string runBefore = savedRun ? savedRun : "";
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    unsetenv("RUNTIME_DIRECTORY");
    Start("Uhr-Toleranz=0\r\n[Batch]\r\nBildformat=2\r\nVortag=1\r\nHTML=0\r\n");
    SendLines(3);
    // Leave 12 kB.
    struct statvfs fs {};
    ASSERT_EQ(statvfs(data.c_str(), &fs), 0);
    const long long leave = (long long)fs.f_bavail * fs.f_frsize - 12 * 1024;
    ASSERT_GT(leave, 0);
    WriteBytes(data + "fill", std::string(std::size_t(leave), 'x'));
    runtime->RunBatch();
    EXPECT_EQ(PngSize(images + "mox_data.png"), std::make_pair(642, 376));
    EXPECT_EQ(Told("aus einer Kopie in").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(data + "20030615.mox"));
    EXPECT_FALSE(std::filesystem::exists(data + "mox_data.mox"));
    EXPECT_EQ(ReadBytes(data + "20030614.mox"), "TYPE: 1\r\n");
    // Yesterday drawn from its log, not from its cut-off day file.
    ASSERT_TRUE(diagram.is_loaded(1));
    EXPECT_FALSE(std::isnan(diagram.get_data(1, 10)));
    runtime->Stop();
    if (savedRun) setenv("XDG_RUNTIME_DIR", runBefore.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}
