#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "lines/DayLogger.h"

// A medium whose syncs wait until the test lets them end, well or with an I/O error.
class SlowMedium : public DayFileIO {
public:
    int DataSync(int fd) override
    {
        std::unique_lock<std::mutex> g(lock);
        ++started;
        changed.notify_all();
        changed.wait(g, [&] { return !verdicts.empty(); });
        const bool good = verdicts.front();
        verdicts.pop_front();
        ++ended;
        changed.notify_all();
        if (!good) {
            errno = EIO;
            return -1;
        }
        return DayFileIO::DataSync(fd);
    }
    // Lets the next sync end.
    void End(bool good)
    {
        std::lock_guard<std::mutex> g(lock);
        verdicts.push_back(good);
        changed.notify_all();
    }
    bool Started(int n)
    {
        return WaitFor([&] { return started >= n; });
    }
    bool Ended(int n)
    {
        return WaitFor([&] { return ended >= n; });
    }
    int Begun()
    {
        std::lock_guard<std::mutex> g(lock);
        return started;
    }

private:
    bool WaitFor(const std::function<bool()>& done)
    {
        std::unique_lock<std::mutex> g(lock);
        return changed.wait_for(g, std::chrono::seconds(10), done);
    }
    std::mutex lock;
    std::condition_variable changed;
    std::deque<bool> verdicts;
    int started = 0, ended = 0;
};
