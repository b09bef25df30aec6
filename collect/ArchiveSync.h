#pragma once
// Brings the archive's file system to the medium in a thread of its own. A sync of thousands
// of freshly written day files takes a good part of a second; done in the collector's own
// thread, every line arriving meanwhile would wait for it. What was written before Start is on
// the medium once Finished says so.
#include <condition_variable>
#include <mutex>
#include <thread>

class ArchiveSync {
public:
    explicit ArchiveSync(int archiveFd);
    ~ArchiveSync();
    ArchiveSync(const ArchiveSync&) = delete;
    ArchiveSync& operator=(const ArchiveSync&) = delete;

    // Starts a sync; false while the one before still runs.
    bool Start();
    bool Running();
    // True once for each sync that has ended since the last call, with `ok` false (and errno
    // in `error`) when the file system could not write everything.
    bool Finished(bool& ok, int& error);

private:
    void Run();

    int fd;
    std::mutex lock;
    std::condition_variable wake;
    bool asked = false, running = false, ended = false, stop = false, result = true;
    int failure = 0;
    std::thread thread;
};
