#include "collect/DayOpener.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace {

// What happens to the day files in a station's folder that the collector must know of: a file
// deleted, moved away or replaced by another, or written and closed by someone else.
constexpr std::uint32_t kWatchMask =
    IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

DayOpening OpenDay(const DayOpenRequest& r)
{
    DayOpening o;
    o.request = r;
    if (r.watchFd >= 0) o.watch = inotify_add_watch(r.watchFd, r.folder.c_str(), kWatchMask);
    const std::string file = r.folder + r.day + ".txt";
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | (r.create ? O_CREAT : 0);
    o.fd = ::open(file.c_str(), flags, 0644);
    if (o.fd < 0 && errno == ENOENT && r.create) {
        std::error_code ec;
        std::filesystem::create_directories(r.folder, ec);
        if (r.watchFd >= 0 && o.watch < 0) o.watch = inotify_add_watch(r.watchFd, r.folder.c_str(), kWatchMask);
        o.fd = ::open(file.c_str(), flags, 0644);
    }
    if (o.fd < 0) {
        if (errno != ENOENT || r.create) o.error = errno;
        return o;
    }
    struct stat st {};
    o.state = r.known;
    if (::fstat(o.fd, &st) != 0 || !CountDayLines(o.fd, st, o.state)) {
        o.error = errno;
        ::close(o.fd);
        o.fd = -1;
    }
    return o;
}

DayOpener::DayOpener() : thread([this] { Run(); }) {}

DayOpener::~DayOpener()
{
    {
        std::lock_guard<std::mutex> g(lock);
        stop = true;
    }
    wake.notify_one();
    thread.join();
    for (const DayOpening& o : done)
        if (o.fd >= 0) ::close(o.fd);
}

void DayOpener::Submit(DayOpenRequest request)
{
    {
        std::lock_guard<std::mutex> g(lock);
        asked.push_back(std::move(request));
    }
    wake.notify_one();
}

std::vector<DayOpening> DayOpener::Finished()
{
    std::vector<DayOpening> out;
    std::lock_guard<std::mutex> g(lock);
    out.swap(done);
    return out;
}

void DayOpener::Run()
{
    std::unique_lock<std::mutex> g(lock);
    while (true) {
        wake.wait(g, [this] { return stop || !asked.empty(); });
        if (stop) return;
        const DayOpenRequest r = std::move(asked.front());
        asked.pop_front();
        g.unlock();
        DayOpening o = OpenDay(r);
        g.lock();
        done.push_back(std::move(o));
    }
}
