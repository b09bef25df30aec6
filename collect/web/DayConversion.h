#pragma once
// A station's day as the station itself converts and draws it, made from the archive without
// writing into it: the day's lines are copied into a folder of the web face's own, converted
// there by the diagram library, and the result kept until the day's file grows. Used on the
// web face's thread only.
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "collect/web/Archive.h"
#include "collect/web/Hapi.h"

struct StationRecord;

class DayConversion : public MinuteSource {
public:
    // `workDir`: a private folder, made if missing.
    DayConversion(const Archive& archive, std::string workDir);

    std::shared_ptr<const DayFileContent> Day(const std::string& station, std::int64_t day) override;

    // The day's magnetogram as PNG bytes, `width` x `height`, titled with the station's name
    // and record; empty when the day has no lines.
    std::string Magnetogram(const std::string& station, std::int64_t day, const StationRecord* record, int width,
                            int height);

private:
    struct Entry {
        std::int64_t size = -1, modified = 0;
        std::shared_ptr<const DayFileContent> content;
    };
    // The day's lines copied into the work folder; false when the archive has none.
    bool CopyDay(const std::string& station, std::int64_t day, std::string& copy, std::int64_t& size,
                 std::int64_t& modified);

    const Archive& archive;
    std::string work;
    std::map<std::string, Entry> cache;
    std::list<std::string> order;  // least recently used first
};
