#include "mox/LineReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

// The block of the last reader of this thread, kept for the next one: a fresh block would
// come from the kernel as cleared pages on every conversion.
thread_local std::unique_ptr<char[]> spareBlock;

}  // namespace

LineReader::~LineReader()
{
    if (fd >= 0) ::close(fd);
    if (buffer && !spareBlock) spareBlock = std::move(buffer);
}

bool LineReader::Open(const std::string& file)
{
    if (fd >= 0) ::close(fd);
    path = file;
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!buffer) buffer = spareBlock ? std::move(spareBlock) : std::unique_ptr<char[]>(new char[kBlockSize]);
    Rewind();
    return true;
}

void LineReader::Rewind()
{
    if (fd >= 0) ::lseek(fd, 0, SEEK_SET);
    begin = end = scanned = 0;
    atEnd = skipping = false;
}

bool LineReader::Fill()
{
    if (atEnd) return false;
    if (begin > 0) {
        std::memmove(buffer.get(), buffer.get() + begin, end - begin);
        end -= begin;
        scanned -= begin;
        begin = 0;
    }
    while (end < kBlockSize) {
        const ssize_t got = ::read(fd, buffer.get() + end, kBlockSize - end);
        if (got > 0) {
            end += std::size_t(got);
            return true;
        }
        if (got == 0) {
            atEnd = true;
            return false;
        }
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "Datei kann nicht gelesen werden: " + path);
    }
    return true;
}

void LineReader::SkipRestOfLine()
{
    for (;;) {
        const void* nl = std::memchr(buffer.get() + begin, '\n', end - begin);
        if (nl) {
            begin = scanned = std::size_t(static_cast<const char*>(nl) - buffer.get()) + 1;
            break;
        }
        begin = scanned = end = 0;
        if (!Fill()) break;
    }
    skipping = false;
}

bool LineReader::Next(const char*& text, std::size_t& length, bool& cut)
{
    if (fd < 0) return false;
    if (skipping) SkipRestOfLine();
    cut = false;
    for (;;) {
        const char* base = buffer.get();
        const void* nl = std::memchr(base + scanned, '\n', end - scanned);
        if (nl) {
            const std::size_t stop = std::size_t(static_cast<const char*>(nl) - base);
            text = base + begin;
            length = stop - begin;
            begin = scanned = stop + 1;
            break;
        }
        scanned = end;
        if (begin == 0 && end == kBlockSize) {
            // No line of the device is anywhere near this long: hand out its start only.
            text = base;
            length = end;
            begin = scanned = end;
            cut = skipping = true;
            return true;
        }
        if (!Fill()) {
            if (begin == end) return false;
            text = buffer.get() + begin;
            length = end - begin;
            begin = scanned = end;
            break;
        }
    }
    if (length > 0 && text[length - 1] == '\r') --length;
    return true;
}
