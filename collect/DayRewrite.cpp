#include "collect/DayRewrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

// "yyyymmdd.txt" plus AtomicFile's mark of a temporary.
bool IsDayTemporary(const std::string& name)
{
    const std::string tail = AtomicFile::TemporaryName(".txt");
    if (name.size() != 8 + tail.size() || name.compare(8, tail.size(), tail) != 0) return false;
    for (std::size_t i = 0; i < 8; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

}  // namespace

bool DayRewrite::Open(const std::string& dayFile)
{
    lines = 0;
    size = 0;
    return file.Open(dayFile);
}

bool DayRewrite::Append(const std::string& line)
{
    const std::string text = line + "\r\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::pwrite(file.Fd(), text.data() + done, text.size() - done, size + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : ENOSPC;
            // A torn line would shift every line after it.
            [[maybe_unused]] const int cut = ftruncate(file.Fd(), size);
            errno = e;
            return false;
        }
        done += std::size_t(n);
    }
    size += off_t(text.size());
    ++lines;
    return true;
}

bool DayRewrite::Commit()
{
    const std::string target = file.Target();
    if (!file.Commit()) return false;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool synced = fsync(dir) == 0;
    const int e = errno;
    ::close(dir);
    errno = e;
    return synced;
}

void DayRewrite::RemoveLeftovers(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* e = readdir(dir)) {
        if (!IsDayTemporary(e->d_name)) continue;
        const std::string path = prefix + e->d_name;
        // One being written holds its lock.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        ::close(fd);
    }
    closedir(dir);
}
