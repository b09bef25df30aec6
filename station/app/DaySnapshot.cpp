#include "station/app/DaySnapshot.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/BoundedSetting.h"
#include "station/app/GrowingCopy.h"

namespace {

std::string Kilobytes(unsigned long long bytes) { return std::to_string((bytes + 1023) / 1024) + " kB"; }

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// "yyyymmdd" of the day before the day log "…/yyyymmdd.txt"; empty for another name.
std::string DayBefore(const std::string& log)
{
    const std::string name = std::filesystem::path(log).stem().string();
    if (name.size() != 8 || name.find_first_not_of("0123456789") != std::string::npos) return {};
    using namespace std::chrono;
    const year_month_day day{year(std::stoi(name.substr(0, 4))), month(unsigned(std::stoi(name.substr(4, 2)))),
                             std::chrono::day(unsigned(std::stoi(name.substr(6, 2))))};
    if (!day.ok()) return {};
    const year_month_day before{sys_days(day) - days(1)};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", int(before.year()), unsigned(before.month()),
                  unsigned(before.day()));
    return text;
}

// The previous day's file to put beside the spare copy: its day file when that is newer than
// its log, else its log.
std::string PreviousDayFile(const std::string& log)
{
    const std::string before = DayBefore(log);
    if (before.empty()) return {};
    const std::string base = FolderOf(log) + "/" + before;
    std::error_code ec;
    const auto txt = std::filesystem::last_write_time(base + ".txt", ec);
    const bool haveTxt = !ec;
    const auto mox = std::filesystem::last_write_time(base + ".mox", ec);
    if (!ec && (!haveTxt || txt < mox)) return base + ".mox";
    return haveTxt ? base + ".txt" : std::string();
}

}  // namespace

std::string DaySnapshot::TakeSpare(const std::string& log, const std::string& spareFolder)
{
    if (spareFolder.empty()) return {};
    namespace fs = std::filesystem;
    std::error_code ec;
    // Only this day and the one before: what an earlier day left there goes.
    for (const fs::directory_entry& e : fs::directory_iterator(spareFolder, ec)) fs::remove(e.path(), ec);
    fs::create_directories(spareFolder, ec);
    const std::string copy = spareFolder + "/mox_data.txt";
    if (!CopyFileAtomically(log, copy)) return {};
    if (const std::string previous = PreviousDayFile(log); !previous.empty())
        CopyFileAtomically(previous, spareFolder + "/" + fs::path(previous).filename().string());
    return copy;
}

std::string DaySnapshot::Take(const std::string& log, const std::string& snapshot, const std::string& spareFolder)
{
    problem.clear();
    if (UpdateCopy(log, snapshot)) {
        toldError = 0;
        toldSpareError = false;
        return snapshot;
    }
    const int error = errno;
    const std::string spare = TakeSpare(log, spareFolder);
    const std::string drawn =
        !spare.empty() ? " Die Bilder werden aus einer Kopie in " + VisibleText(spareFolder) + " gezeichnet."
                       : " Auch in " + VisibleText(spareFolder.empty() ? "einem Ausweichordner" : spareFolder) +
                             " ist kein Platz für sie: es gibt vorerst keine Bilder.";
    if (error == toldError && spare.empty() == toldSpareError) return spare;
    toldError = error;
    toldSpareError = spare.empty();
    if (error == ENOSPC || error == EDQUOT) {
        struct stat st {};
        struct statvfs fs {};
        const unsigned long long needed = stat(log.c_str(), &st) == 0 ? (unsigned long long)st.st_size : 0;
        const std::string folder = FolderOf(snapshot);
        problem =
            "Kein Platz für die Kopie des Tageslogs in " + VisibleText(folder) + ": sie braucht " + Kilobytes(needed);
        if (statvfs(folder.c_str(), &fs) == 0)
            problem += ", frei sind " + Kilobytes((unsigned long long)fs.f_bavail * fs.f_frsize);
        problem += "." + drawn;
    } else {
        problem =
            "Kopie des Tageslogs fehlgeschlagen: " + VisibleText(snapshot) + ": " + std::strerror(error) + "." + drawn;
    }
    return spare;
}
