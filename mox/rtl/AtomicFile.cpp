#include "mox/rtl/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

bool IsNumber(const std::string& s)
{
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Earlier versions named their temporaries "<target>.tmp-<process id>", one more with every
// crash. Once per folder and process, those whose target exists and whose writer no longer
// runs are removed.
void RemoveOldTemporaries(const std::string& target)
{
    static std::mutex lock;
    static std::set<std::string> swept;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = slash == std::string::npos ? "" : folder;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        const std::size_t mark = name.rfind(".tmp-");
        if (mark == std::string::npos || !IsNumber(name.substr(mark + 5))) continue;
        struct stat st {};
        if (::stat((prefix + name.substr(0, mark)).c_str(), &st) != 0) continue;
        const long pid = std::strtol(name.c_str() + mark + 5, nullptr, 10);
        if (pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH) ::unlink((prefix + name).c_str());
    }
    closedir(dir);
}

int LockWithin(int fd, int milliseconds)
{
    for (int waited = 0;; waited += 10) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return -1;
        if (waited >= milliseconds) {
            errno = EBUSY;
            return -1;
        }
        usleep(10000);
    }
}

// The new file takes the place of the old one with its mode, owner and group: a settings file
// kept private (it may hold a password) must not become world-readable by being rewritten. An
// owner or group this process may not give stays its own.
void KeepModeAndOwner(int fd, const std::string& target)
{
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return;
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = fchown(fd, uid_t(-1), old.st_gid);
    }
    [[maybe_unused]] const int mode = fchmod(fd, old.st_mode & 07777);
}

}  // namespace

bool AtomicFile::Open(const std::string& path, int lockWaitMs)
{
    Abort();
    target = path;
    temp = TemporaryName(path);
    bool retried = false;
    for (;;) {
        const int f = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (f < 0) {
            // A leftover of another user (a run as root) is not ours to write, but ours to
            // remove when the folder is ours: it must not block this target for good.
            const int e = errno;
            if (e == EACCES && !retried && ::unlink(temp.c_str()) == 0) {
                retried = true;
                continue;
            }
            errno = e;
            return false;
        }
        const int rc = LockWithin(f, lockWaitMs);
        // The lock holder before us may have renamed the file we waited on into the target:
        // only a file that still stands under the temporary name is ours to write.
        struct stat held {
        }, named{};
        if (rc == 0 && fstat(f, &held) == 0 && ::stat(temp.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            if (ftruncate(f, 0) != 0) {
                const int e = errno;
                ::close(f);
                errno = e;
                return false;
            }
            KeepModeAndOwner(f, target);
            fd = f;
            return true;
        }
        const int e = errno;
        ::close(f);
        if (rc != 0) {
            errno = e;
            return false;
        }
    }
}

bool AtomicFile::Write(const std::string& bytes)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAll(fd, bytes);
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

bool AtomicFile::Commit()
{
    if (!Sync()) {
        Abort();
        return false;
    }
    return PutInPlace();
}

bool AtomicFile::Sync()
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    return fsync(fd) == 0;
}

bool AtomicFile::PutInPlace()
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    const bool ok = std::rename(temp.c_str(), target.c_str()) == 0;
    const int e = errno;
    if (!ok) ::unlink(temp.c_str());
    ::close(fd);  // releases the lock, after the rename: a waiting writer then starts afresh
    fd = -1;
    if (ok) RemoveOldTemporaries(target);
    errno = e;
    return ok;
}

void AtomicFile::Abort()
{
    if (fd < 0) return;
    const int e = errno;
    ::unlink(temp.c_str());
    ::close(fd);
    fd = -1;
    errno = e;
}

bool CopyFileAtomically(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    AtomicFile out;
    bool ok = out.Open(to);
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out.Fd(), buffer + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (w == 0) errno = ENOSPC;
            done += w > 0 ? w : 0;
        }
    }
    if (ok) ok = out.Commit();
    const int e = errno;
    out.Abort();
    ::close(in);
    errno = e;
    return ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    AtomicFile file;
    return file.Open(path) && file.Write(bytes) && file.Commit();
}
