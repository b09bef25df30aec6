#pragma once
// The lines a station sent most recently, to know a second copy when the broker delivers one
// again. QoS 1 repeats only what was in flight when a connection broke, at most a few dozen
// lines back, so a window of a few thousand is ample and keeps a thousand stations in memory.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

class RecentLines {
public:
    explicit RecentLines(std::size_t capacity = 4096) : capacity(capacity) {}

    bool Contains(const std::string& line) const { return counts.count(Key(line)) > 0; }
    void Add(const std::string& line);

private:
    static std::uint64_t Key(const std::string& line);

    std::size_t capacity;
    std::deque<std::uint64_t> order;
    std::unordered_map<std::uint64_t, int> counts;
};
