#pragma once
// The last few lines of a command's output, kept to explain a failure; everything before them
// is dropped as it comes, so a chatty command costs neither memory nor disk.
#include <cstddef>
#include <deque>
#include <string>

class OutputTail {
public:
    explicit OutputTail(std::size_t maxLines = 5, std::size_t maxLineBytes = 200)
        : maxLines(maxLines), maxLineBytes(maxLineBytes)
    {
    }

    void Append(const char* data, std::size_t n);
    // The kept lines, oldest first, joined by '\n'; a last line without its end is included.
    std::string Text() const;
    // Bytes seen in all.
    unsigned long long Total() const { return total; }

private:
    void EndLine();
    std::size_t maxLines, maxLineBytes;
    std::deque<std::string> lines;
    std::string current;
    bool currentCut = false;
    unsigned long long total = 0;
};
