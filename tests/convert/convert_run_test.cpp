// The converter without its window: which files are day logs, their status by file times,
// the two runs, the header data from the settings file and the unattended run, in process
// and as the real program without a display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "ConvertFiles.h"
#include "convert/ConvertRun.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

namespace {

std::vector<std::string> Captions(const FolderScan& scan)
{
    std::vector<std::string> names;
    for (const LogItem& i : scan.Items) names.push_back(i.Caption);
    return names;
}

LogStatus StatusIn(const FolderScan& scan, const std::string& caption)
{
    for (const LogItem& i : scan.Items)
        if (i.Caption == caption) return i.Status;
    ADD_FAILURE() << caption << " not listed";
    return stAllOk;
}

}  // namespace

TEST(DayLogName, OnlyRealDatesWithTxtQualify)
{
    for (const char* good : {"20030615.txt", "20000229.txt", "19991231.txt", "20030615.TXT"})
        EXPECT_TRUE(IsDayLogName(good)) << good;
    for (const char* bad : {"2003061.txt", "200306150.txt", "20031315.txt", "20030230.txt", "20010229.txt",
                            "00000101.txt", "mox_data.txt", "hallo.txt", "20030615.log", "20030615.mox",
                            "20030615.txt~", "2003+615.txt", " 2003061.txt", "2003061a.txt", "20030615txt", ".txt"})
        EXPECT_FALSE(IsDayLogName(bad)) << bad;
}

TEST(FolderScan, ListsDayLogsByNameWithTheirStatusByFileTimes)
{
    TempDir dir;
    // Missing .mox file.
    WriteBytes(dir / "20030615.txt", RawLog("15.06.03"));
    // .mox newer than the log: up to date.
    WriteBytes(dir / "20030612.txt", RawLog("12.06.03"));
    WriteBytes(dir / "20030612.mox", "x");
    SetFileTime(dir / "20030612.txt", 0);
    SetFileTime(dir / "20030612.mox", 1);
    // Same time: outdated.
    WriteBytes(dir / "20030613.txt", RawLog("13.06.03"));
    WriteBytes(dir / "20030613.mox", "x");
    SetFileTime(dir / "20030613.txt", 5);
    SetFileTime(dir / "20030613.mox", 5);
    // Older .mox: outdated.
    WriteOutdated(dir, "20030614", "14.06.03");
    // Never listed: the snapshot, names that are no day, reports, a folder named like a log.
    for (const char* other :
         {"mox_data.txt", "2003061.txt", "20031315.txt", "station.txt", "20030615.log", "20030616.mox"})
        WriteBytes(dir / other, "x");
    std::filesystem::create_directory(dir / "20030617.txt");

    const FolderScan scan = ScanFolder(dir.str());
    EXPECT_EQ(scan.Error, "");
    EXPECT_EQ(Captions(scan),
              (std::vector<std::string>{"20030612.txt", "20030613.txt", "20030614.txt", "20030615.txt"}));
    EXPECT_EQ(StatusIn(scan, "20030612.txt"), stAllOk);
    EXPECT_EQ(StatusIn(scan, "20030613.txt"), stMoxTooOld);
    EXPECT_EQ(StatusIn(scan, "20030614.txt"), stMoxTooOld);
    EXPECT_EQ(StatusIn(scan, "20030615.txt"), stNoMox);
    EXPECT_TRUE(scan.AnyMissing);
    EXPECT_TRUE(scan.AnyOutdated);

    // A folder without a trailing separator is the same folder.
    EXPECT_EQ(Captions(ScanFolder(AsFolderPath(dir.path.string()))), Captions(scan));
}

TEST(FolderScan, AFolderThatCannotBeReadIsAnErrorNamingIt)
{
    TempDir dir;
    const FolderScan scan = ScanFolder(dir / "gone/");
    EXPECT_TRUE(scan.Items.empty());
    EXPECT_NE(scan.Error.find(dir / "gone/"), std::string::npos) << scan.Error;
    EXPECT_FALSE(scan.AnyMissing);
}

TEST(HeaderSettings, ConvertedFilesCarryTheStationsHeaderKeys)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini",
               "[MOX-Header]\r\nAutor=Erika Muster\r\nOrt=Görlitz\r\nLänge=14.99 E\r\n"
               "Breite=51.15 N\r\nLocator=JO71GD\r\n1-Sensor=2\r\nRemarks=nur im Stationsprogramm\r\n");
    TMOX_Diagram diagram;
    ReadHeaderSettings(TIniFile(dir / "mox.ini"), diagram);
    WriteBytes(dir / "20030615.txt", RawLog("15.06.03"));
    diagram.Convert(dir / "20030615.txt");
    const std::string mox = ReadBytes(dir / "20030615.mox");
    for (const char* line :
         {"TYPEDESCRIPTION: Bz\r\n", "LOCATION: G\xF6rlitz\r\n", "LATITUDE: 51.15 N\r\n", "LONGITUDE: 14.99 E\r\n",
          "LOCATOR: JO71GD\r\n", "AUTHOR: Erika Muster\r\n", "REMARKS: \r\n"})
        EXPECT_NE(mox.find(line), std::string::npos) << line;

    // No settings file: the component's own site record, one-sensor component By; the total
    // field names no single component and leaves it so too.
    WriteBytes(dir / "other.ini", "[MOX-Header]\r\n1-Sensor=3\r\n");
    // Whatever the diagram carried before: a station's folder of an archive read after this
    // station's settings must not keep a key its record lacks.
    for (const char* ini : {"none.ini", "other.ini"}) {
        TMOX_Diagram fresh, read;
        ReadHeaderSettings(TIniFile(dir / "mox.ini"), read);
        ReadHeaderSettings(TIniFile(dir / ini), read);
        EXPECT_EQ(read.get_Autor(), fresh.get_Autor());
        EXPECT_EQ(read.get_Ort(), fresh.get_Ort());
        EXPECT_EQ(read.get_Laenge(), fresh.get_Laenge());
        EXPECT_EQ(read.get_Breite(), fresh.get_Breite());
        EXPECT_EQ(read.get_Locator(), fresh.get_Locator());
        EXPECT_EQ(read.get_1sensor_vec(), vecBy);
    }
}

// The window opens where the station's logs are: its setting, the user's own station, the
// service's folder, whichever exists first; else where it was started.
TEST(StartFolder, TheFirstDataFolderThatExists)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "share/mox/data");
    std::filesystem::create_directories(dir / "service");
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string before = saved ? saved : "";
    setenv("XDG_DATA_HOME", (dir / "share").c_str(), 1);
    WriteBytes(dir / "mox.ini", "[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "station" + "/\r\n");
    const TIniFile ini(dir / "mox.ini");
    EXPECT_EQ(StartFolder(ini, "/cwd", dir / "service"), dir / "share/mox/data");
    std::filesystem::create_directories(dir / "station");
    EXPECT_EQ(StartFolder(ini, "/cwd", dir / "service"), dir / "station");
    std::filesystem::remove_all(dir / "station");
    std::filesystem::remove_all(dir / "share");
    EXPECT_EQ(StartFolder(ini, "/cwd", dir / "service"), dir / "service");
    EXPECT_EQ(StartFolder(ini, "/cwd", dir / "none"), "/cwd");
    if (saved) setenv("XDG_DATA_HOME", before.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

TEST(ConvertRun, EachRunConvertsOnlyItsKindAndLeavesTheOthersAlone)
{
    TempDir dir;
    WriteBytes(dir / "20030615.txt", RawLog("15.06.03"));
    WriteBytes(dir / "20030616.txt", RawLog("16.06.03"));
    WriteOutdated(dir, "20030614", "14.06.03", "outdated\r\n");
    TMOX_Diagram diagram;

    FolderScan scan = ScanFolder(dir.str());
    ConvertRun convert(diagram, dir.str(), scan.Items, stNoMox);
    EXPECT_EQ(convert.Total(), 2);
    while (!convert.Done()) EXPECT_TRUE(convert.Step());
    EXPECT_EQ(convert.Converted(), (std::vector<std::string>{"20030615.txt", "20030616.txt"}));
    EXPECT_EQ(StatusIn(scan, "20030615.txt"), stAllOk);
    EXPECT_EQ(ReadBytes(dir / "20030614.mox"), "outdated\r\n");
    EXPECT_NE(ReadBytes(dir / "20030615.mox").find("DATE: 15.06.03"), std::string::npos);

    scan = ScanFolder(dir.str());
    EXPECT_FALSE(scan.AnyMissing);
    EXPECT_EQ(StatusIn(scan, "20030615.txt"), stAllOk);
    const std::string converted = ReadBytes(dir / "20030615.mox");
    WriteBytes(dir / "20030615.mox", "hand-made\r\n");  // up to date: Update keeps it
    ConvertRun update(diagram, dir.str(), scan.Items, stMoxTooOld);
    EXPECT_EQ(update.Total(), 1);
    while (!update.Done()) EXPECT_TRUE(update.Step());
    EXPECT_EQ(update.Converted(), std::vector<std::string>{"20030614.txt"});
    EXPECT_NE(ReadBytes(dir / "20030614.mox").find("DATE: 14.06.03"), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "20030614.mox"), converted);
    EXPECT_EQ(ReadBytes(dir / "20030615.mox"), "hand-made\r\n");
    EXPECT_EQ(StatusOf(dir.str(), "20030614.txt"), stAllOk);
}

TEST(ConvertRun, ALogThatFailsIsReportedAndTheRunGoesOn)
{
    TempDir dir;
    BlockDayFile(dir, "20030613", "13.06.03");
    WriteOutdated(dir, "20030614", "14.06.03");
    WriteOutdated(dir, "20030615", "15.06.03");
    TMOX_Diagram diagram;
    FolderScan scan = ScanFolder(dir.str());
    ConvertRun update(diagram, dir.str(), scan.Items, stMoxTooOld);
    // Gone after the scan: the library would return quietly, which is no conversion.
    std::filesystem::remove(dir / "20030615.txt");

    std::vector<bool> results;
    while (!update.Done()) results.push_back(update.Step());
    EXPECT_EQ(results, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(update.Converted(), std::vector<std::string>{"20030614.txt"});
    ASSERT_EQ(update.Failures().size(), 2u);
    EXPECT_EQ(update.Failures()[0].rfind("20030613.txt: ", 0), 0u) << update.Failures()[0];
    EXPECT_NE(update.Failures()[0].find("20030613.mox"), std::string::npos) << update.Failures()[0];
    EXPECT_EQ(update.Failures()[1].rfind("20030615.txt: ", 0), 0u) << update.Failures()[1];
    EXPECT_EQ(StatusIn(scan, "20030613.txt"), stMoxTooOld);
    EXPECT_FALSE(scan.Items[0].Error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "20030613.mox"));
    EXPECT_EQ(ReadBytes(dir / "20030615.mox"), "old\r\n");
}

TEST(Unattended, UpdatesFirstThenConvertsAndSaysWhatItDid)
{
    TempDir dir;
    WriteBytes(dir / "20030614.txt", RawLog("14.06.03"));  // missing, sorts first
    WriteOutdated(dir, "20030615", "15.06.03");
    WriteBytes(dir / "mox_data.txt", RawLog("15.06.03"));
    TMOX_Diagram diagram;
    std::ostringstream out, err;
    EXPECT_EQ(RunUnattended(dir.path.string(), diagram, out, err), exitOk);
    EXPECT_EQ(out.str(), "20030615.txt\n20030614.txt\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "mox_data.mox"));
    EXPECT_EQ(StatusOf(dir.str(), "20030615.txt"), stAllOk);

    std::ostringstream again, againErr;
    EXPECT_EQ(RunUnattended(dir.str(), diagram, again, againErr), exitOk);
    EXPECT_EQ(again.str(), "");
}

TEST(Unattended, FailuresAndBadFoldersEndNonZeroNamingTheCause)
{
    TempDir dir;
    BlockDayFile(dir, "20030613", "13.06.03");
    WriteBytes(dir / "20030614.txt", RawLog("14.06.03"));
    TMOX_Diagram diagram;
    std::ostringstream out, err;
    EXPECT_EQ(RunUnattended(dir.str(), diagram, out, err), exitSomeFailed);
    EXPECT_EQ(out.str(), "20030614.txt\n");
    EXPECT_NE(err.str().find("MOX_Convert: 20030613.txt: "), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("1 von 2 Mitschnitten ließen sich nicht umwandeln"), std::string::npos) << err.str();

    std::ostringstream none, noneErr;
    EXPECT_EQ(RunUnattended("", diagram, none, noneErr), exitUsage);
    EXPECT_NE(noneErr.str().find("Aufruf"), std::string::npos);
    std::ostringstream gone, goneErr;
    EXPECT_EQ(RunUnattended(dir / "nix", diagram, gone, goneErr), exitUsage);
    EXPECT_NE(goneErr.str().find(dir / "nix/"), std::string::npos) << goneErr.str();
}

// The program as cron starts it: no display, no platform plugin setting.
TEST(Unattended, TheProgramRunsWithoutADisplay)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nOrt=Cronhausen\r\n");
    std::filesystem::create_directory(dir / "logs");
    WriteBytes(dir / "logs/20030615.txt", RawLog("15.06.03"));
    BlockDayFile(dir, "logs/20030614", "14.06.03");
    const std::string program = std::string(MOX_BINARY_DIR) + "/bin/MOX_Convert";
    auto run = [&](const std::string& args) {
        const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM MOX_INI=" + dir / "mox.ini" +
                                " " + program + " " + args + " >" + dir / "out" + " 2>" + dir / "err";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("auto " + dir / "logs"), 1);
    EXPECT_EQ(ReadBytes(dir / "out"), "20030615.txt\n");
    EXPECT_NE(ReadBytes(dir / "err").find("20030614.txt"), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "logs/20030615.mox").find("LOCATION: Cronhausen"), std::string::npos);
    EXPECT_EQ(run("auto"), 2);
    EXPECT_NE(ReadBytes(dir / "err").find("Aufruf"), std::string::npos);
}

// A day whose report cannot be written is a failure, and its .mox file stays as it was, so
// the next run tries again and fails again instead of counting the day as done.
TEST(Unattended, ADayWhoseReportFailsStaysOutdated)
{
    TempDir dir;
    WriteOutdated(dir, "20030614", "14.06.03");
    std::filesystem::create_directory(dir / "20030614.log");
    WriteBytes(dir / "20030614.log/keep", "x");
    WriteBytes(dir / "20030615.txt", RawLog("15.06.03"));
    TMOX_Diagram diagram;
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        std::ostringstream out, err;
        EXPECT_EQ(RunUnattended(dir.str(), diagram, out, err), exitSomeFailed);
        EXPECT_NE(err.str().find("20030614.txt: "), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("20030614.log"), std::string::npos) << err.str();
        EXPECT_EQ(ReadBytes(dir / "20030614.mox"), "old\r\n");
        EXPECT_EQ(StatusOf(dir.str(), "20030614.txt"), stMoxTooOld);
        EXPECT_EQ(out.str(), run == 1 ? "20030615.txt\n" : "");
    }
    // Nothing left behind by the failed day.
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

// Logs of one day in two letter cases would both write the one .mox file: one is listed and
// converted, the other is named as left out.
TEST(FolderScan, OneLogPerDayWhateverTheLetterCase)
{
    TempDir dir;
    WriteBytes(dir / "20030615.TXT", RawLog("15.06.03"));
    WriteBytes(dir / "20030615.txt", RawLog("15.06.03"));
    WriteBytes(dir / "20030616.TXT", RawLog("16.06.03"));
    WriteBytes(dir / "20030616.Txt", RawLog("16.06.03"));
    WriteBytes(dir / "20030617.TXT", RawLog("17.06.03"));
    const FolderScan scan = ScanFolder(dir.str());
    EXPECT_EQ(Captions(scan), (std::vector<std::string>{"20030615.txt", "20030616.TXT", "20030617.TXT"}));
    ASSERT_EQ(scan.Skipped.size(), 2u);
    EXPECT_EQ(scan.Skipped[0].rfind("20030615.TXT wird übergangen: 20030615.txt", 0), 0u) << scan.Skipped[0];
    EXPECT_EQ(scan.Skipped[1].rfind("20030616.Txt wird übergangen: 20030616.TXT", 0), 0u) << scan.Skipped[1];

    TMOX_Diagram diagram;
    std::ostringstream out, err;
    EXPECT_EQ(RunUnattended(dir.str(), diagram, out, err), exitOk);
    EXPECT_EQ(out.str(), "20030615.txt\n20030616.TXT\n20030617.TXT\n");
    EXPECT_NE(err.str().find("20030615.TXT wird übergangen"), std::string::npos) << err.str();
}

// Days converted on several threads give the files a conversion of each day alone gives,
// and the results come in the order of the days.
TEST(ConvertRun, ThreadsGiveTheFilesOfOneByOneInDayOrder)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "one");
    std::filesystem::create_directories(dir / "all");
    std::vector<std::string> days;
    for (int d = 1; d <= 24; ++d) {
        char name[16], date[16];
        std::snprintf(name, sizeof name, "200306%02d.txt", d);
        std::snprintf(date, sizeof date, "%02d.06.03", d);
        std::string log = RawLog(date);
        for (int m = 0; m < 600; m += 1 + d % 7)
            log += std::string(date) + " " + std::to_string(10 + m / 60) + ":" + std::to_string(10 + m % 50) +
                   ":00:  " + std::to_string(m * d % 97) + "\r\n";
        WriteBytes(dir / "one/" + name, log);
        WriteBytes(dir / "all/" + name, log);
        days.push_back(name);
    }
    TMOX_Diagram diagram;
    for (const std::string& day : days) diagram.Convert(dir / "one/" + day);

    FolderScan scan = ScanFolder(dir / "all/");
    ConvertRun run(diagram, dir / "all/", scan.Items, stNoMox, 3);
    std::vector<std::size_t> steps;
    while (!run.Done()) {
        steps.push_back(run.Next());
        EXPECT_TRUE(run.Step());
    }
    EXPECT_EQ(run.Converted(), days);
    EXPECT_EQ(run.Finished(), 24);
    for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i], i);
    for (const std::string& day : days) {
        const std::string base = day.substr(0, 8);
        EXPECT_EQ(ReadBytes(dir / "all/" + base + ".mox"), ReadBytes(dir / "one/" + base + ".mox")) << day;
        EXPECT_EQ(ReadBytes(dir / "all/" + base + ".log"), ReadBytes(dir / "one/" + base + ".log")) << day;
    }
}

// More days than a run holds before putting them in place: every one is converted, in order,
// and no temporary is left behind.
TEST(Unattended, APassLongerThanOneGroupConvertsEveryDayInOrder)
{
    TempDir dir;
    std::string expected;
    for (int d = 0; d < 150; ++d) {
        const TDateTime date = EncodeDate(2003, 1, 1) + d;
        WriteBytes(dir / (FormatDateTime("yyyymmdd", date) + ".txt"), RawLog(FormatDateTime("dd.mm.yy", date)));
        expected += FormatDateTime("yyyymmdd", date) + ".txt\n";
    }
    TMOX_Diagram diagram;
    std::ostringstream out, err;
    EXPECT_EQ(RunUnattended(dir.str(), diagram, out, err), exitOk) << err.str();
    EXPECT_EQ(out.str(), expected);
    std::size_t moxFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
        moxFiles += e.path().extension() == ".mox";
    }
    EXPECT_EQ(moxFiles, 150u);
}

// A network's archive: each station's folder carries that station's record (kept there by the
// collector); converting it stamps each station's days with its own record, never the local one,
// and exports them under the station's own code, side by side in one folder.
TEST(Unattended, EachStationsFolderOfAnArchiveGetsItsOwnRecord)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nOrt=Hiesig\r\nAutor=Zentrale\r\n[IAGA]\r\nCode=LOC\r\n");
    const std::string program = std::string(MOX_BINARY_DIR) + "/bin/MOX_Convert";
    const std::map<std::string, std::string> places = {{"Nord", "Kiel"}, {"Sued", "Passau"}};
    for (const auto& [station, place] : places) {
        std::filesystem::create_directories(dir / station);
        WriteBytes(dir / (station + "/station.ini"), "[MOX-Header]\r\nAutor=Team " + station + "\r\nOrt=" + place +
                                                         "\r\nLocator=JO54\r\n[IAGA]\r\nCode=" + station.substr(0, 3) +
                                                         "\r\n");
        WriteBytes(dir / (station + "/20030615.txt"), RawLog("15.06.03"));
    }
    std::filesystem::create_directories(dir / "local");
    WriteBytes(dir / "local/20030615.txt", RawLog("15.06.03"));
    for (const std::string folder : {"Nord", "Sued", "local"}) {
        const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM MOX_INI=" + dir / "mox.ini" +
                                " " + program + " auto " + dir / folder + " --iaga " + dir / "share" +
                                " >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << folder;
    }
    for (const auto& [station, place] : places) {
        const std::string mox = ReadBytes(dir / (station + "/20030615.mox"));
        EXPECT_NE(mox.find("LOCATION: " + place), std::string::npos) << station;
        EXPECT_EQ(mox.find("Hiesig"), std::string::npos) << station;
        EXPECT_EQ(mox.find("Zentrale"), std::string::npos) << station;
    }
    EXPECT_NE(ReadBytes(dir / "local/20030615.mox").find("LOCATION: Hiesig"), std::string::npos);
    for (const auto& [file, place] : {std::pair{"nor", "Kiel"}, {"sue", "Passau"}, {"loc", "Hiesig"}})
        EXPECT_NE(ReadBytes(dir / ("share/" + std::string(file) + "20030615vmin.min"))
                      .find(" Station Name           " + std::string(place) + " "),
                  std::string::npos)
            << file;
}
