#include "collect/ArchiveSync.h"

#include <unistd.h>

#include <cerrno>

ArchiveSync::ArchiveSync(int archiveFd) : fd(archiveFd), thread([this] { Run(); }) {}

ArchiveSync::~ArchiveSync()
{
    {
        std::lock_guard<std::mutex> g(lock);
        stop = true;
    }
    wake.notify_one();
    thread.join();
}

bool ArchiveSync::Start()
{
    {
        std::lock_guard<std::mutex> g(lock);
        if (asked || running) return false;
        asked = true;
    }
    wake.notify_one();
    return true;
}

bool ArchiveSync::Running()
{
    std::lock_guard<std::mutex> g(lock);
    return asked || running;
}

bool ArchiveSync::Finished(bool& ok, int& error)
{
    std::lock_guard<std::mutex> g(lock);
    if (!ended) return false;
    ended = false;
    ok = result;
    error = failure;
    return true;
}

void ArchiveSync::Run()
{
    std::unique_lock<std::mutex> g(lock);
    while (true) {
        wake.wait(g, [this] { return stop || asked; });
        // A sync asked for before the stop is still done: its acknowledgments may go out.
        if (!asked) return;
        asked = false;
        running = true;
        g.unlock();
        const bool ok = fd < 0 || syncfs(fd) == 0;
        const int error = ok ? 0 : errno;
        g.lock();
        running = false;
        ended = true;
        result = ok;
        failure = error;
    }
}
