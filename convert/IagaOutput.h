#pragma once
// "--iaga DIR" of the unattended run: the IAGA-2002 file of every day the run converted or
// updated goes into DIR, under the station's code from the settings ([IAGA] Code). The run
// itself stays as it is: the logs it is about to convert are noted before it, and those whose
// day file it wrote are exported after it.
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class TIniFile;

struct IagaOutput {
    struct Day {
        std::string path;  // the day file of a log the run will convert
        std::optional<std::filesystem::file_time_type> before;  // its time then, if it existed
    };
    std::string dir, code;
    std::vector<Day> pending;
};

// Takes "--iaga DIR" out of the arguments after "auto". False with `error` on a usage error:
// no DIR, or no valid code in the settings.
bool TakeIagaOption(std::vector<std::string>& args, const TIniFile& ini,
                    std::optional<IagaOutput>& option, std::string& error);

// Notes the logs of `folder` whose day files are missing or outdated, just before the run.
void NotePendingDays(IagaOutput& option, const std::string& folder);

// After the run: exports each noted day whose day file the run wrote, naming every file
// written in `out` and every failure in `err`. Returns exitOk or exitSomeFailed.
int ExportConvertedDays(const IagaOutput& option, std::ostream& out, std::ostream& err);
