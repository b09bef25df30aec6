#pragma once
// "--iaga DIR" of the unattended run: the IAGA-2002 file of every day the run converted or
// updated goes into DIR, under the station's code: the one of the record a station's folder of
// an archive keeps, else the one of the settings ([IAGA] Code). The run
// itself stays as it is: the logs it is about to convert are noted before it, and those whose
// day file it wrote are exported after it.
// A day whose export fails stays owed: its day file's name goes into the list kOwedListName in
// the logs' folder, and every later run exports the days listed there until it succeeds (and
// ends with 1, naming them, until then). The day file is renewed by then, so the list is the
// only memory of the export left to do.
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class TIniFile;

// The owed days, one day file name a line, in the logs' folder; hidden beside the logs.
inline constexpr const char* kOwedListName = ".iaga-offen";

struct IagaOutput {
    struct Day {
        std::string path;                                       // the day file of a log the run will convert
        std::optional<std::filesystem::file_time_type> before;  // its time then, if it existed
    };
    std::string dir, code;
    std::vector<Day> pending;
    std::string folder;             // the logs' folder, ending in '/' (empty: the current one)
    std::vector<std::string> owed;  // day file names owed from earlier runs
};

// Takes "--iaga DIR" out of the arguments after "auto". False with `error` on a usage error:
// no DIR, or no valid code in the settings.
bool TakeIagaOption(std::vector<std::string>& args, const TIniFile& ini, std::optional<IagaOutput>& option,
                    std::string& error);

// Notes the logs of `folder` whose day files are missing or outdated, just before the run,
// and the days owed from earlier runs.
void NotePendingDays(IagaOutput& option, const std::string& folder);

// After the run: exports each noted day whose day file the run wrote and each owed day, naming
// every file written in `out` and every failure in `err`; the days that failed are owed from
// now on. Returns exitOk or exitSomeFailed (also when the list of owed days cannot be kept).
int ExportConvertedDays(const IagaOutput& option, std::ostream& out, std::ostream& err);
