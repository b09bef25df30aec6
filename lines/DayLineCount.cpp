#include "lines/DayLineCount.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool CountDayLines(int fd, const struct stat& st, DayFileState& state)
{
    DayFileState now = state;
    if (now.inode != st.st_ino || st.st_size < now.size) now = DayFileState{st.st_ino, 0, 0};
    char buf[128 * 1024];
    while (now.size < st.st_size) {
        const ssize_t n =
            ::pread(fd, buf, std::size_t(std::min<off_t>(off_t(sizeof buf), st.st_size - now.size)), now.size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // cut meanwhile: what is there is counted
        now.lines += std::uint64_t(std::count(buf, buf + n, '\n'));
        now.size += n;
    }
    state = now;
    return true;
}

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

DayLineCount::Known& DayLineCount::Entry(const std::string& day)
{
    auto it = days.find(day);
    if (it == days.end()) {
        if (days.size() >= maxDays) {
            days.erase(std::min_element(days.begin(), days.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            }));
        }
        it = days.emplace(day, Known{}).first;
    }
    it->second.lastUse = ++clock;
    return it->second;
}

void DayLineCount::Remember(const std::string& day, const DayFileState& state) { Entry(day).state = state; }

DayFileState DayLineCount::Recall(const std::string& day) const
{
    const auto it = days.find(day);
    return it == days.end() ? DayFileState{} : it->second.state;
}

void DayLineCount::Forget(const std::string& day) { days.erase(day); }

std::uint64_t DayLineCount::Lines(const std::string& day)
{
    const std::string file = folder + day + ".txt";
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        days.erase(day);
        return 0;
    }
    Known& k = Entry(day);
    if (k.state.inode == st.st_ino && k.state.size == st.st_size) return k.state.lines;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (k.state.inode != st.st_ino || st.st_size < k.state.size) k.state = DayFileState{st.st_ino, 0, 0};
        return k.state.lines;
    }
    // Counted up to the size seen above; what came after that is counted next time.
    CountDayLines(fd, st, k.state);
    ::close(fd);
    return k.state.lines;
}
