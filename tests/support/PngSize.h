#pragma once
// Width and height from a PNG file's header; (0, 0) when it is none.
#include <string>
#include <utility>

#include "TempDir.h"

inline std::pair<int, int> PngSize(const std::string& file)
{
    const std::string b = ReadBytes(file);
    if (b.size() < 24 || b.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&b](int at) {
        return (int((unsigned char)b[at]) << 24) | (int((unsigned char)b[at + 1]) << 16) |
               (int((unsigned char)b[at + 2]) << 8) | int((unsigned char)b[at + 3]);
    };
    return {be(16), be(20)};
}
