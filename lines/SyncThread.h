#pragma once
// Runs data syncs on a thread of its own, one after the other in the order they were asked
// for, so that the thread that writes the lines never waits for the medium: a card whose syncs
// take seconds delays only the news that the lines are safe, not the station itself.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SyncThread {
public:
    struct Result {
        std::uint64_t id;
        int error;  // 0: on the medium; else errno of the failed sync
    };

    // `sync` makes a descriptor's data durable and returns 0 or errno; it runs on the thread.
    // `onDone`, also on the thread, is called after each sync, with its result ready.
    SyncThread(std::function<int(int fd)> sync, std::function<void()> onDone);
    // Finishes every sync asked for before it returns.
    ~SyncThread();
    SyncThread(const SyncThread&) = delete;
    SyncThread& operator=(const SyncThread&) = delete;

    // Takes the descriptor and closes it after the sync.
    void Start(std::uint64_t id, int fd);
    // The results of the syncs that have ended since the last call, in the order asked for.
    std::vector<Result> TakeResults();
    // Until every sync asked for has ended.
    void WaitIdle();

private:
    void Run();

    std::function<int(int)> sync;
    std::function<void()> onDone;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<std::uint64_t, int>> jobs;
    std::vector<Result> results;
    bool busy = false;
    bool ending = false;
    std::thread thread;
};
