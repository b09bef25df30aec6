#include "mox/LineReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

LineReader::~LineReader()
{
    if (fd >= 0) ::close(fd);
}

bool LineReader::Open(const std::string& file)
{
    if (fd >= 0) ::close(fd);
    path = file;
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    buffer.resize(kBlockSize);
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
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        scanned -= begin;
        begin = 0;
    }
    while (end < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + end, buffer.size() - end);
        if (got > 0) {
            end += std::size_t(got);
            return true;
        }
        if (got == 0) {
            atEnd = true;
            return false;
        }
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(),
                                    "Datei kann nicht gelesen werden: " + path);
    }
    return true;
}

void LineReader::SkipRestOfLine()
{
    for (;;) {
        const void* nl = std::memchr(buffer.data() + begin, '\n', end - begin);
        if (nl) {
            begin = scanned = std::size_t(static_cast<const char*>(nl) - buffer.data()) + 1;
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
        const char* base = buffer.data();
        const void* nl = std::memchr(base + scanned, '\n', end - scanned);
        if (nl) {
            const std::size_t stop = std::size_t(static_cast<const char*>(nl) - base);
            text = base + begin;
            length = stop - begin;
            begin = scanned = stop + 1;
            break;
        }
        scanned = end;
        if (begin == 0 && end == buffer.size()) {
            // No line of the device is anywhere near this long: hand out its start only.
            text = base;
            length = end;
            begin = scanned = end;
            cut = skipping = true;
            return true;
        }
        if (!Fill()) {
            if (begin == end) return false;
            text = buffer.data() + begin;
            length = end - begin;
            begin = scanned = end;
            break;
        }
    }
    if (length > 0 && text[length - 1] == '\r') --length;
    return true;
}
