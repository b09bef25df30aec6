#include "lines/DayLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "lines/LineDay.h"

namespace {

std::string SystemError(int err) { return std::strerror(err); }

}  // namespace

int DayFileIO::Open(const std::string& name)
{
    return ::open(name.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

ssize_t DayFileIO::Write(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }

int DayFileIO::Truncate(int fd, off_t size) { return ::ftruncate(fd, size); }

int DayFileIO::DataSync(int fd) { return ::fdatasync(fd); }

bool DayFileIO::MakeFolder(const std::string& dir, bool& created)
{
    std::error_code ec;
    created = std::filesystem::create_directories(dir, ec);
    if (ec) errno = ec.value();
    return !ec;
}

DayLogger::DayLogger(std::string dir, int syncIntervalSeconds, std::unique_ptr<DayFileIO> fileIO,
                     std::size_t maxWaiting)
    : dataDir(std::move(dir)), io(fileIO ? std::move(fileIO) : std::make_unique<DayFileIO>()),
      syncInterval(syncIntervalSeconds), capacity(std::max<std::size_t>(1, maxWaiting))
{
}

DayLogger::~DayLogger()
{
    if (syncThread) SyncInForeground();
    Close();
}

void DayLogger::SetDataDir(const std::string& dir)
{
    Close();
    dataDir = dir;
    folderKnown = false;
}

void DayLogger::Close()
{
    CloseFile();
    logFileName.clear();
}

bool DayLogger::CloseFile()
{
    if (fd >= 0 && !SyncOpen(true)) return false;
    if (fd >= 0) ::close(fd);
    fd = -1;
    openDay.clear();
    return true;
}

void DayLogger::Sync() { SyncOpen(); }

void DayLogger::SyncInBackground(std::function<void()> onSyncDone)
{
    if (syncThread) return;
    syncThread = std::make_unique<SyncThread>([this](int copy) { return io->DataSync(copy) == 0 ? 0 : errno; },
                                              std::move(onSyncDone));
}

void DayLogger::SyncInForeground()
{
    if (!syncThread) return;
    syncThread->WaitIdle();
    std::vector<SyncThread::Result> results = syncThread->TakeResults();
    syncThread.reset();
    for (const SyncThread::Result& r : results) {
        if (inFlight.empty() || inFlight.front().id != r.id) continue;
        InFlight job = std::move(inFlight.front());
        inFlight.pop_front();
        SyncEnded(std::move(job), r.error);
    }
}

void DayLogger::FinishSyncs()
{
    if (!syncThread) return;
    for (const SyncThread::Result& r : syncThread->TakeResults()) {
        // They end in the order they were started.
        if (inFlight.empty() || inFlight.front().id != r.id) continue;
        InFlight job = std::move(inFlight.front());
        inFlight.pop_front();
        SyncEnded(std::move(job), r.error);
    }
    // The lines that came while the medium was busy go next, when their time has come.
    if (inFlight.empty() && !unsynced.empty() &&
        (time(nullptr) - lastSync >= syncInterval || unsynced.size() >= kMaxUnsynced))
        SyncOpen();
}

bool DayLogger::SyncOpen(bool closing)
{
    if (fd < 0 || unsynced.empty()) {
        lastSync = time(nullptr);
        return true;
    }
    // One sync at a time, unless the file is being closed: the lines meanwhile go with the next.
    if (syncThread && !inFlight.empty() && !closing) return true;
    lastSync = time(nullptr);
    struct stat st;
    const off_t end = fstat(fd, &st) == 0 ? st.st_size : syncedEnd;
    InFlight job{++lastSyncId, logFileName, std::move(unsynced), syncedEnd};
    unsynced.clear();
    syncedEnd = end;
    const int copy = syncThread ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (copy >= 0) {
        inFlight.push_back(std::move(job));
        syncThread->Start(inFlight.back().id, copy);
        return true;
    }
    const int err = io->DataSync(fd) == 0 ? 0 : errno;
    SyncEnded(std::move(job), err);
    return err == 0;
}

void DayLogger::VoidSyncsOf(const std::string& name)
{
    for (InFlight& job : inFlight)
        if (job.name == name) job.voided = true;
}

void DayLogger::SyncEnded(InFlight job, int err)
{
    if (job.voided || err == 0) return;
    Fail(job.name, err);
    // Not known to be on the medium: this sync's lines and every later one of the same file are
    // written again, after the file is cut back to what is.
    std::deque<Pending> again = std::move(job.lines);
    for (InFlight& later : inFlight)
        if (later.name == job.name && !later.voided) {
            again.insert(again.end(), later.lines.begin(), later.lines.end());
            later.voided = true;
        }
    if (fd >= 0 && logFileName == job.name) {
        again.insert(again.end(), unsynced.begin(), unsynced.end());
        unsynced.clear();
        // Opened anew through the name: a medium that is mounted again is reached only that way.
        ::close(fd);
        fd = -1;
        openDay.clear();
    }
    for (auto it = again.rbegin(); it != again.rend(); ++it) {
        Pending p = *it;
        p.again = true;
        pending.push_front(std::move(p));
    }
    cutTo = cutTo >= 0 && cutName == job.name ? std::min(cutTo, job.cutBack) : job.cutBack;
    cutName = job.name;
}

void DayLogger::Fail(const std::string& name, int err)
{
    error = name + ": " + SystemError(err);
    mediumFull = err == ENOSPC || err == EDQUOT || err == EFBIG;
}

bool DayLogger::FolderReady(const std::string& name)
{
    struct stat st;
    if (stat(dataDir.c_str(), &st) == 0) {
        if (folderKnown && st.st_dev != folderDevice) return NotTheDataFolder();
        folderKnown = true;
        folderDevice = st.st_dev;
        return true;
    }
    if (errno != ENOENT) return true;  // opening the file tells why
    if (folderKnown) {
        // Missing: made again only on the medium it was on, not on the disk below a mount point.
        std::filesystem::path parent = std::filesystem::path(dataDir).lexically_normal().parent_path();
        if (!dataDir.empty() && dataDir.back() == '/') parent = parent.parent_path();
        while (!parent.empty() && stat(parent.c_str(), &st) != 0 && parent != parent.parent_path())
            parent = parent.parent_path();
        if (stat(parent.empty() ? "." : parent.c_str(), &st) != 0 || st.st_dev != folderDevice)
            return NotTheDataFolder();
    }
    // A new station has no folders yet; a folder taken away is made again.
    bool created = false;
    if (!io->MakeFolder(dataDir, created)) {
        Fail(name, errno);
        return false;
    }
    if (created)
        notices.push_back(
            {Notice::Kind::FolderCreated, "Das Datenverzeichnis " + dataDir + " fehlte und wurde angelegt."});
    if (stat(dataDir.c_str(), &st) == 0) {
        folderKnown = true;
        folderDevice = st.st_dev;
    }
    return true;
}

bool DayLogger::NotTheDataFolder()
{
    error = "Das Datenverzeichnis " + dataDir +
            " ist nicht da (Datenträger nicht eingehängt?); die Zeilen warten, bis es wieder da ist";
    mediumFull = false;
    return false;
}

bool DayLogger::OpenFile(const std::string& name)
{
    if (!FolderReady(name)) return false;
    fd = io->Open(name);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        fd = -1;
        errno = err;
    }
    if (fd < 0) {
        Fail(name, errno);
        return false;
    }
    confirmedEnd = st.st_size;
    syncedEnd = st.st_size;
    return true;
}

bool DayLogger::CutTornLine()
{
    if (cutTo < 0 || cutName != logFileName) return true;
    // A file shorter than the cut (made anew meanwhile) has nothing to cut.
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > cutTo && io->Truncate(fd, cutTo) != 0) {
        Fail(logFileName, errno);
        return false;
    }
    confirmedEnd = std::min(confirmedEnd, cutTo);
    syncedEnd = std::min(syncedEnd, cutTo);
    cutTo = -1;
    return true;
}

bool DayLogger::RescueIfGone()
{
    struct stat open, named;
    if (fstat(fd, &open) != 0) return false;
    bool gone = open.st_nlink == 0;
    if (!gone) {
        // A medium that cannot be asked now is not taken for a file gone.
        if (stat(logFileName.c_str(), &named) == 0) gone = named.st_dev != open.st_dev || named.st_ino != open.st_ino;
        else gone = errno == ENOENT || errno == ENOTDIR;
    }
    if (!gone) {
        confirmedEnd = open.st_size;
        return false;
    }
    if (open.st_nlink > 0 && !FolderReady(logFileName)) {
        // Not deleted: the medium went away with the folder. The file stays as it is, and its
        // lines not known to be on the medium wait for it.
        CloseFile();
        return true;
    }
    // What was written to a deleted file since it was last seen in its place is only in the
    // open file; a file moved away keeps its lines.
    const bool torn = cutTo >= 0 && cutName == logFileName;
    const off_t end = open.st_nlink > 0 ? confirmedEnd : torn ? cutTo : open.st_size;
    std::string tail(std::size_t(std::max<off_t>(0, end - confirmedEnd)), '\0');
    const ssize_t got = tail.empty() ? 0 : pread(fd, tail.data(), tail.size(), confirmedEnd);
    tail.resize(std::size_t(std::max<ssize_t>(0, got)));
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < tail.size();) {
        std::size_t stop = tail.find("\r\n", start);
        if (stop == std::string::npos) stop = tail.size();
        lines.push_back(tail.substr(start, stop - start));
        start = stop + 2;
    }
    const std::string day = openDay;
    notices.push_back({Notice::Kind::FileRenewed,
                       "Das Tageslog " + logFileName + " wurde gelöscht oder verschoben; es wird neu angelegt."});
    cutTo = -1;
    // The lines since the last sync went with the file or are among those rescued.
    unsynced.clear();
    VoidSyncsOf(logFileName);
    CloseFile();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) Keep({day, *it, true}, true);
    return true;
}

bool DayLogger::Append(const std::string& line)
{
    const std::string record = line + "\r\n";
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = io->Write(fd, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(logFileName, n < 0 ? errno : ENOSPC);
            // Never leave half a line: the line is written again whole later, and the next
            // line must start a line of its own.
            if (done > 0 && io->Truncate(fd, confirmedEnd) != 0) {
                cutName = logFileName;
                cutTo = confirmedEnd;
            }
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

void DayLogger::Keep(Pending p, bool atFront)
{
    if (atFront) {
        pending.push_front(std::move(p));
        return;
    }
    if (pending.size() >= capacity) {
        pending.pop_front();
        ++dropped;
    }
    pending.push_back(std::move(p));
}

std::size_t DayLogger::Flush()
{
    std::size_t written = 0;
    // A file system whose file numbers do not hold still must not keep the loop renewing:
    // a file is renewed twice at most per call.
    int renewed = 0;
    while (!pending.empty()) {
        const std::string name = dataDir + pending.front().day + ".txt";
        if (name != logFileName) {
            // The lines of the file left behind wait again when its sync fails.
            if (!CloseFile()) break;
            logFileName = name;
        }
        Pending& p = pending.front();
        if (fd < 0) {
            if (!OpenFile(name)) break;
            openDay = p.day;
        }
        if (!CutTornLine()) break;
        if (renewed < 2 && RescueIfGone()) {
            ++renewed;
            continue;
        }
        if (!Append(p.line)) {
            // Opened anew for the next attempt: a medium that went away and came back (a USB
            // stick, a remount) is reached only through the name.
            CloseFile();
            break;
        }
        unsynced.push_back(std::move(p));
        pending.pop_front();
        ++written;
        if (OnWritten && !unsynced.back().again) OnWritten(unsynced.back().line);
        // Gone between the check and the write: the line goes into the new file too.
        if (renewed < 2 && RescueIfGone()) ++renewed;
        if ((time(nullptr) - lastSync >= syncInterval || unsynced.size() >= kMaxUnsynced) && !SyncOpen()) break;
    }
    if (pending.empty()) error.clear();
    return written;
}

std::size_t DayLogger::Retry()
{
    const std::size_t written = Flush();
    // Told as written only when it is on the medium.
    if (written > 0) Sync();
    if (pending.empty()) error.clear();
    return written;
}

std::vector<std::string> DayLogger::WaitingLines() const
{
    std::vector<std::string> lines;
    lines.reserve(pending.size());
    for (const Pending& p : pending) lines.push_back(p.line);
    return lines;
}

void DayLogger::Restore(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        std::string day;
        if (DayOfLine(line, day) == LineDay::Found) Keep({day, line}, false);
    }
    Flush();
}

std::vector<DayLogger::Notice> DayLogger::TakeNotices()
{
    std::vector<Notice> taken;
    taken.swap(notices);
    return taken;
}

DayLogger::Outcome DayLogger::HandleLine(const std::string& line)
{
    error.clear();
    std::string day;
    switch (DayOfLine(line, day)) {
    case LineDay::NoDate: return Outcome::Ignored;
    case LineDay::BadDate: error = "'" + line.substr(0, 8) + "' ist kein gültiges Datum"; return Outcome::Rejected;
    case LineDay::Found: break;
    }
    // Behind lines that wait, this one waits too: the files take them in arrival order.
    // Those go first if they can, so that a full memory gives up no line needlessly.
    if (!pending.empty()) Flush();
    Keep({day, line}, false);
    Flush();
    return pending.empty() ? Outcome::Logged : Outcome::Failed;
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
