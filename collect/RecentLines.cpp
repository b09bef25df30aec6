#include "collect/RecentLines.h"

#include <functional>

std::uint64_t RecentLines::Key(const std::string& line) { return std::hash<std::string>{}(line); }

void RecentLines::Add(const std::string& line)
{
    const std::uint64_t key = Key(line);
    order.push_back(key);
    ++counts[key];
    if (order.size() > capacity) {
        const auto old = counts.find(order.front());
        if (--old->second == 0) counts.erase(old);
        order.pop_front();
    }
}
