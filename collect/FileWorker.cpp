#include "collect/FileWorker.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "collect/DayRewrite.h"
#include "mox/rtl/AtomicFile.h"

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
    if (r.tidy) DayRewrite::RemoveLeftovers(r.folder);
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

RecordWritten WriteRecord(const RecordRequest& r)
{
    RecordWritten w;
    w.request = r;
    std::ifstream in(r.file, std::ios::binary);
    if (in && std::string(std::istreambuf_iterator<char>(in), {}) == r.payload) return w;
    w.changed = true;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(r.file).parent_path(), ec);
    AtomicFile out;
    if (!out.Open(r.file) || !WriteAll(out.Fd(), r.payload) || !out.Commit()) w.error = errno ? errno : EIO;
    return w;
}

FileWorker::FileWorker() : thread([this] { Run(); }) {}

FileWorker::~FileWorker()
{
    {
        std::lock_guard<std::mutex> g(lock);
        stop = true;
    }
    wake.notify_one();
    thread.join();
    for (const Done& d : done)
        if (const auto* o = std::get_if<DayOpening>(&d); o && o->fd >= 0) ::close(o->fd);
}

void FileWorker::Submit(Job job)
{
    {
        std::lock_guard<std::mutex> g(lock);
        if (auto* day = std::get_if<DayOpenRequest>(&job)) days.push_back(std::move(*day));
        else records.push_back(std::get<RecordRequest>(std::move(job)));
    }
    wake.notify_one();
}

std::vector<FileWorker::Done> FileWorker::Finished()
{
    std::vector<Done> out;
    std::lock_guard<std::mutex> g(lock);
    out.swap(done);
    return out;
}

void FileWorker::Run()
{
    std::unique_lock<std::mutex> g(lock);
    while (true) {
        wake.wait(g, [this] { return stop || !days.empty() || !records.empty(); });
        if (stop) return;
        Done result;
        if (!days.empty()) {
            const DayOpenRequest r = std::move(days.front());
            days.pop_front();
            g.unlock();
            result = OpenDay(r);
        } else {
            const RecordRequest r = std::move(records.front());
            records.pop_front();
            g.unlock();
            result = WriteRecord(r);
        }
        g.lock();
        done.push_back(std::move(result));
    }
}
