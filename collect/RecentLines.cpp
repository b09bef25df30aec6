#include "collect/RecentLines.h"

#include <algorithm>
#include <functional>

namespace {

std::uint64_t Key(const std::string& line) { return std::hash<std::string>{}(line); }

}  // namespace

bool RecentLines::Contains(const std::string& line) const
{
    const std::uint64_t key = Key(line);
    return std::find(ring.begin(), ring.begin() + std::ptrdiff_t(used), key) != ring.begin() + std::ptrdiff_t(used);
}

void RecentLines::Add(const std::string& line)
{
    ring[next] = Key(line);
    next = (next + 1) % ring.size();
    used = std::min(used + 1, ring.size());
}
