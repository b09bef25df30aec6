#pragma once
// How many lines the day files of one folder hold: the position of a line in a station
// network. A line's position is its day and its index in that day's file, the same at the
// station and in the central archive, so either side can tell from its own file what the other
// lacks. Counted once per day file, then only the bytes added since; a file replaced, cut or
// deleted under us is counted again.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

// What is known of one day file: which file (inode), how long, and how many lines it holds.
struct DayFileState {
    ino_t inode = 0;
    off_t size = 0;
    std::uint64_t lines = 0;
};

// Brings `state` up to the open file `fd` whose status is `st`: counts only the bytes added
// since when it is the same file and not shorter, else the whole file. False when it cannot be
// read; `state` is then unchanged.
bool CountDayLines(int fd, const struct stat& st, DayFileState& state);

class DayLineCount {
public:
    // `maxDays`: day files remembered at once; the least recently asked one is forgotten.
    explicit DayLineCount(std::string folder, std::size_t maxDays = 4);

    // Lines ("\n"-ended) in <folder>/<yyyymmdd>.txt now; 0 when there is no such file.
    std::uint64_t Lines(const std::string& yyyymmdd);
    void SetFolder(const std::string& folder);

    // What the caller knows of a day file (it counted or wrote it), so the next count reads only
    // what came since; Recall gives it back (an empty state when nothing is known).
    void Remember(const std::string& yyyymmdd, const DayFileState& state);
    DayFileState Recall(const std::string& yyyymmdd) const;
    // The file was changed by someone else: counted whole next time.
    void Forget(const std::string& yyyymmdd);

private:
    struct Known {
        DayFileState state;
        std::uint64_t lastUse = 0;
    };

    Known& Entry(const std::string& day);

    std::string folder;
    std::size_t maxDays;
    std::map<std::string, Known> days;
    std::uint64_t clock = 0;
};
