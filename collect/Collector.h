#pragma once
// Files the lines of every station of a network into ROOT/<Station>/yyyymmdd.txt, by the
// station's own day-file rules (its DayLogger): the line's own date, CR LF, each line handed to
// the system whole before the next one. A line already filed is dropped: QoS 1 may deliver a
// line twice. After a restart the tail of a station's day file tells which lines are there.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "collect/RecentLines.h"
#include "lines/DayLogger.h"

class Collector {
public:
    enum class Result {
        Filed,
        Duplicate,
        Refused,  // not a station's raw topic, or not a data line (Message() says which)
        Failed    // could not be written (Message() names the file)
    };

    // `maxOpenFiles`: day files kept open at once; the least recently used is closed beyond.
    explicit Collector(std::string root, std::size_t maxOpenFiles = 256);

    Result Take(const std::string& topic, const std::string& payload);
    const std::string& Message() const { return message; }
    std::uint64_t LinesFiled() const { return filed; }
    std::uint64_t Duplicates() const { return duplicates; }

    // "mox/<Station>/raw" -> Station; empty for any other topic or an invalid id.
    static std::string StationOfTopic(const std::string& topic);

private:
    struct Archive {
        std::unique_ptr<DayLogger> logger;
        RecentLines recent;
        std::set<std::string> daysRead;  // day files whose tail is in `recent`
        std::uint64_t lastUse = 0;
        bool folderMade = false;
    };

    Archive& ArchiveOf(const std::string& station);
    void ReadTail(Archive& archive, const std::string& dayFile);
    void LimitOpenFiles();

    std::string root;
    std::size_t maxOpen;
    std::map<std::string, Archive> archives;
    std::string message;
    std::uint64_t filed = 0, duplicates = 0, clock = 0;
    std::size_t openFiles = 0;
};
