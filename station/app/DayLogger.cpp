#include "station/app/DayLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "station/app/LineDay.h"

namespace {

std::string SystemError(int err) { return std::strerror(err); }

}  // namespace

DayLogger::DayLogger(std::string dir, int syncIntervalSeconds)
    : dataDir(std::move(dir)), syncInterval(syncIntervalSeconds)
{
}

DayLogger::~DayLogger() { Close(); }

void DayLogger::SetDataDir(const std::string& dir)
{
    Close();
    dataDir = dir;
}

void DayLogger::Close()
{
    if (fd >= 0) {
        Sync();
        ::close(fd);
    }
    fd = -1;
    logFileName.clear();
}

void DayLogger::Sync()
{
    if (fd >= 0 && unsynced) fdatasync(fd);
    unsynced = false;
    lastSync = time(nullptr);
}

bool DayLogger::Open(const std::string& name)
{
    fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = name + ": " + SystemError(errno);
        return false;
    }
    return true;
}

bool DayLogger::Append(const std::string& line)
{
    struct stat st;
    if (fstat(fd, &st) != 0) {
        error = logFileName + ": " + SystemError(errno);
        return false;
    }
    const std::string record = line + "\r\n";
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(fd, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = logFileName + ": " + SystemError(n < 0 ? errno : ENOSPC);
            // Never leave half a line: the next line must start a line of its own.
            if (done > 0 && ftruncate(fd, st.st_size) != 0)
                error += " (" + SystemError(errno) + ")";
            return false;
        }
        done += std::size_t(n);
    }
    unsynced = true;
    if (time(nullptr) - lastSync >= syncInterval) Sync();
    return true;
}

DayLogger::Outcome DayLogger::HandleLine(const std::string& line)
{
    error.clear();
    std::string day;
    switch (DayOfLine(line, day)) {
    case LineDay::NoDate:
        return Outcome::Ignored;
    case LineDay::BadDate:
        error = "'" + line.substr(0, 8) + "' ist kein gültiges Datum";
        return Outcome::Rejected;
    case LineDay::Found:
        break;
    }
    const std::string name = dataDir + day + ".txt";
    if (name != logFileName) {
        Close();
        logFileName = name;
        if (!Open(name)) return Outcome::Failed;
    } else if (fd < 0 && !Open(name)) {
        return Outcome::Failed;
    }
    return Append(line) ? Outcome::Logged : Outcome::Failed;
}

std::string DayLogger::ComponentText(const std::string& line)
{
    std::string z;
    for (char letter : {'X', 'Y', 'Z'}) {
        if (line.find(letter) == std::string::npos) continue;
        if (!z.empty()) z += '/';
        z += letter;
    }
    return z;
}
