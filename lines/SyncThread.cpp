#include "lines/SyncThread.h"

#include <unistd.h>

SyncThread::SyncThread(std::function<int(int)> syncFn, std::function<void()> done)
    : sync(std::move(syncFn)), onDone(std::move(done)), thread([this] { Run(); })
{
}

SyncThread::~SyncThread()
{
    {
        std::lock_guard<std::mutex> g(lock);
        ending = true;
    }
    changed.notify_all();
    thread.join();
}

void SyncThread::Start(std::uint64_t id, int fd)
{
    {
        std::lock_guard<std::mutex> g(lock);
        jobs.emplace_back(id, fd);
    }
    changed.notify_all();
}

std::vector<SyncThread::Result> SyncThread::TakeResults()
{
    std::lock_guard<std::mutex> g(lock);
    std::vector<Result> taken;
    taken.swap(results);
    return taken;
}

void SyncThread::WaitIdle()
{
    std::unique_lock<std::mutex> g(lock);
    changed.wait(g, [this] { return jobs.empty() && !busy; });
}

void SyncThread::Run()
{
    std::unique_lock<std::mutex> g(lock);
    for (;;) {
        changed.wait(g, [this] { return ending || !jobs.empty(); });
        if (jobs.empty()) return;  // ending, with nothing left to sync
        const auto [id, fd] = jobs.front();
        jobs.pop_front();
        busy = true;
        g.unlock();
        const int error = sync(fd);
        ::close(fd);
        g.lock();
        results.push_back({id, error});
        busy = false;
        changed.notify_all();
        if (onDone) {
            g.unlock();
            onDone();
            g.lock();
        }
    }
}
