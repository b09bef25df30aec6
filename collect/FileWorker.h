#pragma once
// The collector's slow file work, in a thread of its own when asked to: making a station's
// folder, creating or opening its day file and counting the lines already in it, and writing
// its record (synced to the disk). That costs far more than filing a line, and comes in floods:
// thousands of stations appearing at once, every station's new day at midnight, long day files
// after a restart. Done in the collector's own thread, it would hold up every other station.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "lines/DayLineCount.h"

struct DayOpenRequest {
    std::string station;
    std::string folder;   // ends in '/'
    std::string day;      // yyyymmdd
    bool create = false;  // make the folder and the file when they are missing
    DayFileState known;   // what was known of the file, so only what came since is counted
    int watchFd = -1;     // inotify descriptor the station's folder is watched by, -1: none
    bool tidy = false;    // the station's first opening: a killed collector's rewrites go
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

struct RecordRequest {
    std::string topic, payload;  // as they came; the payload is the record
    std::string file;            // <folder>station.ini
};

struct RecordWritten {
    RecordRequest request;
    bool changed = false;  // false: the file held this record already
    int error = 0;         // errno of what failed
};

// Replaces the file whole by the record, unless it holds that record already.
RecordWritten WriteRecord(const RecordRequest& request);

class FileWorker {
public:
    using Job = std::variant<DayOpenRequest, RecordRequest>;
    using Done = std::variant<DayOpening, RecordWritten>;

    FileWorker();
    ~FileWorker();
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // Day files go first: lines wait for them, for a record nobody waits.
    void Submit(Job job);
    // The jobs finished since the last call.
    std::vector<Done> Finished();

private:
    void Run();

    std::mutex lock;
    std::condition_variable wake;
    std::deque<DayOpenRequest> days;
    std::deque<RecordRequest> records;
    std::vector<Done> done;
    bool stop = false;
    std::thread thread;
};
