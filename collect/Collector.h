#pragma once
// Files the lines of every station of a network into ROOT/<Station>/yyyymmdd.txt, by the
// station's own day-file rules: the line's own date, CR LF, each line handed to the system
// whole before the next one. Every line comes with its position (its index in the station's
// day file, see NetProtocol.h), so the archive's own day files say what is there: a line
// already there is dropped, the next one is filed, one beyond it shows a gap. A day with a gap
// is asked for whole from the station (RequestsDue), which reads it back from its own day file,
// and rewritten whole (DayRewrite): once the new file holds the line that showed the gap it
// takes the old one's place in one rename. Lines repeated word for word by a device are filed
// like any other: only the position counts.
//
// What was filed is acknowledged per station (AcknowledgmentsDue) only after the owner has
// brought the archive to the medium, and not while a gap of the station is open, so a station
// releases only lines that are safe here.
//
// A line costs one write: each station's day file stays open and the collector knows how many
// lines it holds. Whether the file was deleted, replaced or written by someone else is learnt
// from an inotify watch on the station's folder (read at most every 100 ms), or, where no watch
// could be set, from a stat at most once a second; a line filed in that short while into a file
// deleted under us shows as a gap at the next line and is asked back from the station.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "collect/DayRewrite.h"
#include "collect/FileWorker.h"
#include "lines/DayLineCount.h"
#include "lines/NetProtocol.h"

struct CollectorLimits {
    std::size_t MaxOpenFiles = 256;  // day files kept open at once, least recently used closed
    std::size_t MaxStations = 5000;  // stations taken when no list of stations is given
    std::size_t MaxPayload = 16 * 1024;
    // Stations taken; empty: any valid id, up to MaxStations.
    std::set<std::string> Stations;
    // A gap is asked for again after this long when no line of its answer has come.
    std::chrono::milliseconds RequestEvery{5000};
    // An open day file nobody wrote to for this long is closed.
    std::chrono::seconds IdleClose{600};
    // Day files are opened, and records written, by a thread of their own: a station's lines
    // wait meanwhile (Result::Held) and are decided by Pump, while the other stations' lines go
    // on. Without it, Take and TakeRecord do that work themselves and decide at once.
    bool BackgroundFileWork = false;
};

class Collector {
public:
    using Clock = std::chrono::steady_clock;
    enum class Result {
        Filed,
        Duplicate,  // already in the archive
        Gap,        // earlier lines missing: not filed, the day asked for (RequestsDue)
        Held,       // waits for its station's day file to be opened (or its record to be
                    // written); decided by Pump
        Refused,    // not a station's line topic, not a line, unknown station, too long
        Failed      // could not be written (Message() names the file)
    };

    explicit Collector(std::string root, CollectorLimits limits = {});
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    Result Take(const std::string& topic, const std::string& payload, Clock::time_point now = Clock::now());
    // A station's record on mox/<Station>/record: kept as <root>/<Station>/station.ini,
    // replaced whole when it changes. Filed when written or already so.
    Result TakeRecord(const std::string& topic, const std::string& payload);
    const std::string& Message() const { return message; }

    // Decides the held lines whose day file has been opened since, and the records written;
    // call it at each turn of the network loop. A station's lines are decided in the order
    // they came; a failure comes with its message.
    struct Decision {
        std::string topic, payload;
        Result result;
        std::string message;
    };
    std::vector<Decision> Pump(Clock::time_point now = Clock::now());
    // Lines and records waiting for the file work.
    std::size_t Holding() const { return holding; }

    std::uint64_t LinesFiled() const { return filed; }
    std::uint64_t Duplicates() const { return duplicates; }
    std::uint64_t Refusals() const { return refusals; }
    std::uint64_t Failures() const { return failures; }

    // Acknowledgments that have become due since the last call: call it, then bring the
    // archive to the medium, then publish them (retained, on mox/<Station>/filed).
    std::vector<std::pair<std::string, NetFiled>> AcknowledgmentsDue();
    // Requests for missing lines, to publish on mox/<Station>/request: a day with a gap from
    // its first line (then from where its rewrite stands), lines that could not be written from
    // the first of them. Asked again after RequestEvery without an answer.
    std::vector<std::pair<std::string, NetRequest>> RequestsDue(Clock::time_point now = Clock::now());
    // What went wrong in RequestsDue (a rewrite that could not be begun), once; empty if nothing.
    std::string TakeProblem();
    // Closes day files idle for too long.
    void Tick(Clock::time_point now = Clock::now());
    std::size_t OpenFiles() const;
    std::size_t Rewrites() const { return rewrites; }
    std::size_t Stations() const { return stations.size(); }

private:
    struct Waiting {
        std::string topic, payload;
        NetLine line;
        std::string day;
    };
    struct Gap {
        std::uint64_t seen = 0;  // the highest index seen beyond what the archive holds
        bool whole = false;      // a gap by position: the day is rewritten whole
        std::unique_ptr<DayRewrite> rewrite;
        Clock::time_point askedAt{}, answeredAt{};
    };
    struct Station {
        Station(const std::string& id, const std::string& dir) : name(id), folder(dir), counts(dir) {}
        std::string name, folder;
        DayLineCount counts;
        // The day file lines go to now, as this collector wrote or counted it. fd -1 with a
        // day: there is no such file yet; openError: it could not be opened.
        std::string openDay;
        int fd = -1;
        DayFileState file;
        int openError = 0;
        int watch = -1;      // inotify watch of the folder
        bool stale = false;  // something happened in the folder: looked at before the next line
        Clock::time_point checkedAt{};
        bool opening = false;          // asked of the worker
        bool tidied = false;           // a first opening was asked for
        std::vector<Waiting> waiting;  // lines held until then, in order
        Clock::time_point lastWrite{};
        std::uint64_t lastUse = 0;
        NetFiled due;
        bool ackDue = false;
        // Open gaps by day; also the lines that could not be written.
        std::map<std::string, Gap> gaps;
        // The newest spool line that came while a gap was open, filed or not: released when the
        // gaps close, since the archive then holds it (read back from the station's day file if
        // need be).
        NetFiled held;
    };

    Station* StationOf(const std::string& name);
    Result Decide(Station& s, const NetLine& l, const std::string& day, Clock::time_point now);
    Result Failure(Station& s, const NetLine& l, const std::string& day);
    bool Current(Station& s, const std::string& day, Clock::time_point now);
    void Verify(Station& s);
    void Apply(Station& s, const DayOpening& o, Clock::time_point now);
    Result Recorded(const RecordWritten& w);
    void ReadWatches(Clock::time_point now);
    std::uint64_t LinesOf(Station& s, const std::string& day);
    bool Append(Station& s, const std::string& line);
    Result TakeIntoRewrite(Station& s, const std::string& day, Gap& gap, const NetLine& l, std::uint64_t have,
                           Clock::time_point now);
    bool BeginRewrite(Station& s, const std::string& day, Gap& gap);
    Result FinishRewrite(Station& s, const std::string& day, Gap& gap, Result result, Clock::time_point now);
    Result FailRewrite(Gap& gap, const std::string& text, Clock::time_point now);
    void Acknowledge(Station& s, const NetLine& l);
    void Close(Station& s);
    void Drop(Station& s);
    void LimitOpenFiles();
    Result Refuse(const std::string& text);

    std::string root;
    CollectorLimits limits;
    std::map<std::string, std::unique_ptr<Station>> stations;
    std::string message, problem;
    std::size_t rewrites = 0;  // days being rewritten, each holding its temporary open
    std::uint64_t filed = 0, duplicates = 0, refusals = 0, failures = 0, clock = 0;
    std::size_t openFiles = 0, holding = 0;
    std::unique_ptr<FileWorker> worker;
    int watchFd = -1;
    std::unordered_map<int, Station*> watches;
    Clock::time_point watchesRead{};
};
