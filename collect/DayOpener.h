#pragma once
// Opens the stations' day files for the collector, in a thread of its own when asked to.
// Making a station's folder, creating or opening its day file and counting the lines already in
// it cost far more than filing a line: thousands of stations appearing at once, every station's
// new day at midnight, long day files after a restart. Done in the collector's own thread, that
// work would hold up the lines of every other station.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lines/DayLineCount.h"

struct DayOpenRequest {
    std::string station;
    std::string folder;   // ends in '/'
    std::string day;      // yyyymmdd
    bool create = false;  // make the folder and the file when they are missing
    DayFileState known;   // what was known of the file, so only what came since is counted
    int watchFd = -1;     // inotify descriptor the station's folder is watched by, -1: none
};

struct DayOpening {
    DayOpenRequest request;
    int fd = -1;     // open for appending; -1: no such file (not asked to create it) or an error
    int error = 0;   // errno of what failed
    int watch = -1;  // the folder's watch, -1 when it could not be watched
    DayFileState state;
};

// Opens (O_RDWR | O_APPEND) <folder><day>.txt and counts its lines. The folder is watched
// before the file is opened, so nothing done to the file after the count goes unnoticed.
DayOpening OpenDay(const DayOpenRequest& request);

class DayOpener {
public:
    DayOpener();
    ~DayOpener();
    DayOpener(const DayOpener&) = delete;
    DayOpener& operator=(const DayOpener&) = delete;

    void Submit(DayOpenRequest request);
    // The openings finished since the last call, in the order they were asked for.
    std::vector<DayOpening> Finished();

private:
    void Run();

    std::mutex lock;
    std::condition_variable wake;
    std::deque<DayOpenRequest> asked;
    std::vector<DayOpening> done;
    bool stop = false;
    std::thread thread;
};
