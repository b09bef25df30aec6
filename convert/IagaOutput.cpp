#include "convert/IagaOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>

#include "convert/ConvertRun.h"
#include "mox/Iaga2002.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/IniFile.h"

namespace fs = std::filesystem;

bool TakeIagaOption(std::vector<std::string>& args, const TIniFile& ini, std::optional<IagaOutput>& option,
                    std::string& error)
{
    option.reset();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--iaga") continue;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = "--iaga braucht einen Ordner; Aufruf: MOX_Convert auto ORDNER [--iaga ZIELORDNER]";
            return false;
        }
        const std::string dir = args[i + 1];
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
        // A station's folder of an archive is exported under that station's code.
        std::string problem;
        const std::string code = FolderIagaCode(args.empty() ? "" : args[0], ini, problem);
        if (code.empty()) {
            error = "--iaga braucht den IAGA-Code der Station: " + problem;
            return false;
        }
        option = IagaOutput{};
        option->dir = dir;
        option->code = code;
        return true;
    }
    return true;
}

namespace {

std::vector<std::string> ReadOwed(const std::string& list)
{
    std::vector<std::string> names;
    std::ifstream in(list, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.find('/') == std::string::npos) names.push_back(line);
    }
    return names;
}

// The list replaced whole, or removed when nothing is owed; false with errno on failure.
bool WriteOwed(const std::string& list, const std::vector<std::string>& names)
{
    if (names.empty()) {
        std::error_code ec;
        fs::remove(list, ec);
        errno = ec.value();
        return !ec;
    }
    AtomicFile file;
    if (!file.Open(list)) return false;
    std::string text;
    for (const std::string& n : names) text += n + "\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(file.Fd(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            file.Abort();
            errno = err;
            return false;
        }
        done += std::size_t(n);
    }
    return file.Commit();
}

}  // namespace

void NotePendingDays(IagaOutput& option, const std::string& folder)
{
    const std::string dir = AsFolderPath(folder);
    option.folder = dir;
    option.owed = ReadOwed(dir + kOwedListName);
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
    std::vector<std::string> due;
    for (const std::string& name : option.owed) {
        std::error_code ec;
        if (fs::exists(option.folder + name, ec) || ec) due.push_back(name);
        else
            err << "MOX_Convert: " << option.folder + name << " gibt es nicht mehr; sein IAGA-2002-Export entfällt."
                << std::endl;
    }
    for (const IagaOutput::Day& day : option.pending) {
        // Written by this run: a log that failed keeps its old day file or none. Today's log
        // may have grown since, so the day file need not be newer than the log any more.
        std::error_code ec;
        const auto written = fs::last_write_time(day.path, ec);
        if (ec || (day.before && written == *day.before)) continue;
        const std::string name = fs::path(day.path).filename().string();
        if (std::find(due.begin(), due.end(), name) == due.end()) due.push_back(name);
    }
    std::sort(due.begin(), due.end());

    int result = exitOk;
    std::vector<std::string> owed;
    for (const std::string& name : due) {
        try {
            out << ExportIaga2002(option.folder + name, option.code, option.dir) << std::endl;
        } catch (const std::exception& e) {
            err << "MOX_Convert: " << e.what() << std::endl;
            err << "MOX_Convert: Der IAGA-2002-Export von " << option.folder + name
                << " bleibt offen und wird beim nächsten Lauf nachgeholt." << std::endl;
            owed.push_back(name);
            result = exitSomeFailed;
        }
    }
    if (owed != option.owed && !WriteOwed(option.folder + kOwedListName, owed)) {
        const std::string why = std::strerror(errno);
        err << "MOX_Convert: Die Liste der offenen IAGA-2002-Exporte " << option.folder + kOwedListName
            << " kann nicht geschrieben werden: " << why << std::endl;
        result = exitSomeFailed;
    }
    return result;
}
