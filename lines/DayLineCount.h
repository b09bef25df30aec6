#pragma once
// How many lines the day files of one folder hold: the position of a line in a station
// network. A line's position is its day and its index in that day's file, the same at the
// station and in the central archive, so either side can tell from its own file what the other
// lacks. Counted once per day file, then only the bytes added since; a file replaced, cut or
// deleted under us is counted again.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

class DayLineCount {
public:
    // `maxDays`: day files remembered at once; the least recently asked one is forgotten.
    explicit DayLineCount(std::string folder, std::size_t maxDays = 4);

    // Lines ("\n"-ended) in <folder>/<yyyymmdd>.txt now; 0 when there is no such file.
    std::uint64_t Lines(const std::string& yyyymmdd);
    void SetFolder(const std::string& folder);

private:
    struct Known {
        ino_t inode = 0;
        off_t size = 0;
        std::uint64_t lines = 0;
        std::uint64_t lastUse = 0;
    };

    std::string folder;
    std::size_t maxDays;
    std::map<std::string, Known> days;
    std::uint64_t clock = 0;
};
