#include "station/app/DaySnapshot.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/BoundedSetting.h"

namespace {

std::string Kilobytes(unsigned long long bytes) { return std::to_string((bytes + 1023) / 1024) + " kB"; }

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string DaySnapshot::Take(const std::string& log, const std::string& snapshot)
{
    problem.clear();
    if (CopyFileAtomically(log, snapshot)) {
        toldError = 0;
        return snapshot;
    }
    const int error = errno;
    if (error == toldError) return log;
    toldError = error;
    if (error == ENOSPC || error == EDQUOT) {
        struct stat st {};
        struct statvfs fs {};
        const unsigned long long needed = stat(log.c_str(), &st) == 0 ? (unsigned long long)st.st_size : 0;
        const std::string folder = FolderOf(snapshot);
        problem = "Kein Platz für die Kopie des Tageslogs in " + VisibleText(folder) + ": sie braucht " +
                  Kilobytes(needed);
        if (statvfs(folder.c_str(), &fs) == 0)
            problem += ", frei sind " + Kilobytes((unsigned long long)fs.f_bavail * fs.f_frsize);
        problem += ". Die Bilder werden aus dem Tageslog selbst gezeichnet.";
    } else {
        problem = "Kopie des Tageslogs fehlgeschlagen: " + VisibleText(snapshot) + ": " +
                  std::strerror(error) + ". Die Bilder werden aus dem Tageslog selbst gezeichnet.";
    }
    return log;
}
