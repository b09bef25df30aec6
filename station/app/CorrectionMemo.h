#pragma once
// The lines of one day's correction file as the correction dialog will save them: the file's
// former lines, then the corrections made since. It belongs to that one file, so lines made
// for one day never end up in another day's file.
#include <string>
#include <vector>

class CorrectionMemo {
public:
    const std::string& File() const { return file; }
    const std::vector<std::string>& Lines() const { return lines; }
    bool Empty() const { return lines.empty(); }
    // Lines added since the file was read or saved.
    int Pending() const { return pending; }

    // Takes `path`'s lines, none when the file does not exist; pending lines are dropped.
    // False (and nothing read) when the file exists but cannot be read.
    bool Open(const std::string& path);
    void Add(const std::string& line);
    // Takes back the last line added since the file was read; false when there is none.
    bool RemoveLast();
    // Writes all lines to the file, replacing it; nothing pending afterwards.
    bool Save();
    // Empty, without a file.
    void Clear();

private:
    std::string file;
    std::vector<std::string> lines;
    int pending = 0;
};
