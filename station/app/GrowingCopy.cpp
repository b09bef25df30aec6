#include "station/app/GrowingCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "mox/rtl/AtomicFile.h"

namespace {

constexpr std::size_t kBlock = 1 << 16;

// Reads up to n bytes at `at`; fewer only at the end of the file. -1 with errno on failure.
ssize_t ReadAt(int fd, char* buffer, std::size_t n, off_t at)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, buffer + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        done += std::size_t(r);
    }
    return ssize_t(done);
}

// The first `length` bytes of both files are there and the same.
bool SameBeginning(int a, int b, off_t length)
{
    std::vector<char> x(kBlock), y(kBlock);
    for (off_t at = 0; at < length;) {
        const std::size_t n = std::size_t(std::min<off_t>(off_t(kBlock), length - at));
        if (ReadAt(a, x.data(), n, at) != ssize_t(n) || ReadAt(b, y.data(), n, at) != ssize_t(n)) return false;
        if (std::memcmp(x.data(), y.data(), n) != 0) return false;
        at += off_t(n);
    }
    return true;
}

bool WriteAt(int fd, const char* data, std::size_t n, off_t at)
{
    for (std::size_t done = 0; done < n;) {
        const ssize_t w = ::pwrite(fd, data + done, n - done, at + off_t(done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        done += std::size_t(w);
    }
    return true;
}

// Appends what `source` holds beyond `length` to `copy` and syncs it. On failure the copy is
// cut back to `length`, the earlier copy whole, as far as that works; false with errno set.
bool AppendRest(int source, int copy, off_t length)
{
    std::vector<char> buffer(kBlock);
    off_t at = length;
    bool ok = true;
    for (;;) {
        const ssize_t n = ReadAt(source, buffer.data(), buffer.size(), at);
        if (n < 0 || (n > 0 && !WriteAt(copy, buffer.data(), std::size_t(n), at))) {
            ok = false;
            break;
        }
        at += off_t(n);
        if (std::size_t(n) < buffer.size()) break;
    }
    if (ok && at > length) ok = ::fdatasync(copy) == 0;
    if (ok) return true;
    const int error = errno;
    [[maybe_unused]] const int cut = ::ftruncate(copy, length);
    errno = error;
    return false;
}

}  // namespace

bool UpdateCopy(const std::string& source, const std::string& copy)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    bool appended = false, cutBack = true;
    const int out = ::open(copy.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (out >= 0 && ::fstat(out, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
        SameBeginning(in, out, st.st_size)) {
        appended = AppendRest(in, out, st.st_size);
        // A copy that could not be cut back after a failed append holds a part of the new
        // lines; that must not stand as the copy.
        if (!appended) {
            struct stat now {};
            cutBack = ::fstat(out, &now) == 0 && now.st_size == st.st_size;
        }
    }
    if (out >= 0) ::close(out);
    if (!cutBack) ::unlink(copy.c_str());
    const bool ok = appended || CopyFileAtomically(source, copy);
    const int error = errno;
    ::close(in);
    errno = error;
    return ok;
}
