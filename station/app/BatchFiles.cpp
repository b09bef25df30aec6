#include "station/app/BatchFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mox/rtl/AtomicFile.h"

namespace {

// The regular file `path` holds exactly `bytes`. A link is not looked through: it is replaced
// by a file as it always was.
bool Holds(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::size_t(st.st_size) == bytes.size();
    char buffer[1 << 14];
    for (std::size_t at = 0; same && at < bytes.size();) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, bytes.size() - at));
        if (n < 0 && errno == EINTR) continue;
        same = n > 0 && std::memcmp(buffer, bytes.data() + at, std::size_t(n)) == 0;
        at += n > 0 ? std::size_t(n) : 0;
    }
    ::close(fd);
    return same;
}

bool ReadWhole(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[1 << 14];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return n == 0;
}

}  // namespace

BatchFiles::BatchFiles() = default;
BatchFiles::~BatchFiles() = default;  // what was not published is removed by its AtomicFile

bool BatchFiles::Stage(const std::string& path, const std::string& bytes)
{
    if (Holds(path, bytes)) return true;
    auto file = std::make_unique<AtomicFile>();
    if (!file->Open(path) || !file->Write(bytes)) return false;
    staged.push_back(std::move(file));
    return true;
}

void BatchFiles::Stage(std::unique_ptr<AtomicFile> written)
{
    std::string bytes;
    if (ReadWhole(written->TempPath(), bytes) && Holds(written->Target(), bytes)) written->Abort();
    else staged.push_back(std::move(written));
}

std::vector<BatchFiles::Failure> BatchFiles::Publish()
{
    for (const auto& file : staged) ::sync_file_range(file->Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    std::vector<Failure> failures;
    for (const auto& file : staged)
        if (!file->Sync()) {
            failures.push_back({file->Target(), std::strerror(errno)});
            file->Abort();
        }
    for (const auto& file : staged)
        if (file->IsOpen() && !file->PutInPlace()) failures.push_back({file->Target(), std::strerror(errno)});
    staged.clear();
    return failures;
}
