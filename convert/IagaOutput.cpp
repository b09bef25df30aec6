#include "convert/IagaOutput.h"

#include <ostream>

#include "convert/ConvertRun.h"
#include "mox/Iaga2002.h"
#include "mox/rtl/IniFile.h"

namespace fs = std::filesystem;

bool TakeIagaOption(std::vector<std::string>& args, const TIniFile& ini,
                    std::optional<IagaOutput>& option, std::string& error)
{
    option.reset();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--iaga") continue;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = "--iaga braucht einen Ordner; Aufruf: MOX_Convert auto ORDNER [--iaga ZIELORDNER]";
            return false;
        }
        const std::string code = ini.ReadString("IAGA", "Code", "");
        if (!IsValidIagaCode(code)) {
            error = "--iaga braucht den IAGA-Code der Station (drei Buchstaben oder Ziffern) als \"Code\" "
                    "im Abschnitt [IAGA] von " + ini.FileName();
            return false;
        }
        option = IagaOutput{args[i + 1], code, {}};
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
        return true;
    }
    return true;
}

void NotePendingDays(IagaOutput& option, const std::string& folder)
{
    const std::string dir = AsFolderPath(folder);
    for (const LogItem& item : ScanFolder(dir).Items) {
        if (item.Status == stAllOk) continue;
        IagaOutput::Day day{dir + item.Caption.substr(0, item.Caption.size() - 4) + ".mox", {}};
        std::error_code ec;
        const auto time = fs::last_write_time(day.path, ec);
        if (!ec) day.before = time;
        option.pending.push_back(day);
    }
}

int ExportConvertedDays(const IagaOutput& option, std::ostream& out, std::ostream& err)
{
    int result = exitOk;
    for (const IagaOutput::Day& day : option.pending) {
        // Written by this run: a log that failed keeps its old day file or none. Today's log
        // may have grown since, so the day file need not be newer than the log any more.
        std::error_code ec;
        const auto written = fs::last_write_time(day.path, ec);
        if (ec || (day.before && written == *day.before)) continue;
        try {
            out << ExportIaga2002(day.path, option.code, option.dir) << std::endl;
        } catch (const std::exception& e) {
            err << "MOX_Convert: " << e.what() << std::endl;
            result = exitSomeFailed;
        }
    }
    return result;
}
