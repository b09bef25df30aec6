#include "lines/DayLineCount.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Newlines in the file between `from` and `to`; false when it cannot be read.
bool CountBetween(const std::string& file, off_t from, off_t to, std::uint64_t& lines)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    off_t at = from;
    while (at < to) {
        const ssize_t n = ::pread(fd, buf, std::size_t(std::min<off_t>(off_t(sizeof buf), to - at)), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        lines += std::uint64_t(std::count(buf, buf + n, '\n'));
        at += n;
    }
    ::close(fd);
    return true;
}

}  // namespace

DayLineCount::DayLineCount(std::string dir, std::size_t days) : maxDays(std::max<std::size_t>(1, days))
{
    SetFolder(dir);
}

void DayLineCount::SetFolder(const std::string& dir)
{
    folder = dir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    days.clear();
}

std::uint64_t DayLineCount::Lines(const std::string& day)
{
    const std::string file = folder + day + ".txt";
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        days.erase(day);
        return 0;
    }
    auto it = days.find(day);
    if (it == days.end()) {
        if (days.size() >= maxDays) {
            days.erase(std::min_element(days.begin(), days.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            }));
        }
        it = days.emplace(day, Known{}).first;
    }
    Known& k = it->second;
    k.lastUse = ++clock;
    if (k.inode != st.st_ino || st.st_size < k.size) k = Known{st.st_ino, 0, 0, k.lastUse};
    if (st.st_size != k.size) {
        std::uint64_t added = 0;
        if (CountBetween(file, k.size, st.st_size, added)) {
            k.lines += added;
            k.size = st.st_size;
        }
    }
    return k.lines;
}
