#pragma once
// Reading back what the converters wrote.
#include <string>
#include <vector>

#include "../support/TempDir.h"

// The lines of a file written with CR LF ends; a line end other than CR LF fails the test.
inline std::vector<std::string> CrLfLines(const std::string& file)
{
    const std::string bytes = ReadBytes(file);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << file << ": last line without CR LF";
            break;
        }
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos) << file << ": bare LF";
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

// The 1440 value lines after a section marker; empty if the marker is missing.
inline std::vector<std::string> SectionOf(const std::vector<std::string>& lines, const std::string& marker)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != marker) continue;
        if (i + 1442 > lines.size() || lines[i + 1441] != "END") return {};
        return std::vector<std::string>(lines.begin() + long(i) + 1, lines.begin() + long(i) + 1441);
    }
    return {};
}
