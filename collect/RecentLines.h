#pragma once
// The lines a station sent most recently, to know a second copy when the broker delivers one
// again. QoS 1 repeats only what was in flight when a connection broke (a few dozen lines at
// most: the station hands 20 to the network at a time, the broker as many to the collector),
// so a window of a thousand is ample. Kept as a ring of hashes: 8 KB a station, and a scan of
// the ring costs less than the write of the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RecentLines {
public:
    explicit RecentLines(std::size_t capacity = 1024) : ring(capacity) {}

    bool Contains(const std::string& line) const;
    void Add(const std::string& line);

private:
    std::vector<std::uint64_t> ring;
    std::size_t next = 0, used = 0;
};
