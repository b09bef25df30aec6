#pragma once
// 8-bit text files as the stations exchange them: written in Windows-1252 with CR LF,
// read with CR LF or LF line ends. Inside the program all text is UTF-8; a line read that is
// valid UTF-8 is taken as it is, any other line is decoded as Windows-1252.
#include <cstdio>
#include <string>
#include <vector>

#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/PendingFiles.h"

bool IsValidUtf8(const std::string& s);
std::string Cp1252ToUtf8(const std::string& s);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf8ToCp1252(const std::string& s);
// A line as read from a file, made UTF-8.
std::string DecodeLine(std::string raw);

class TextReader {
public:
    TextReader() = default;
    explicit TextReader(const std::string& path) { Open(path); }
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }
    void Close();
    void Rewind();
    // Reads the next line without its line end; false at the end of the file.
    bool ReadLine(std::string& line);
    // True once every line has been read.
    bool Eof();
    // Number of lines read so far.
    long LineNumber() const { return lineNumber; }

private:
    bool ReadRaw(std::string& line);
    std::FILE* file = nullptr;
    char* chunk = nullptr;
    std::size_t chunkSize = 0;
    long lineNumber = 0;
};

// Writes a whole file. With `atomic`, the text goes to the target's temporary (AtomicFile)
// that replaces the target only when Commit succeeds, so readers never see half a file and a
// failed write leaves the old file in place.
class TextWriter {
public:
    TextWriter() = default;
    TextWriter(const std::string& path, bool atomic) { Open(path, atomic); }
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    bool Open(const std::string& path, bool atomic);
    bool IsOpen() const { return file != nullptr; }
    void WriteLine(const std::string& utf8);
    // Plain ASCII line (no conversion); the hot path of the day file writer.
    void WriteAsciiLine(const char* s, std::size_t n);
    // Finishes the file: true when everything reached the disk and the file is in place;
    // false with errno set by the first step that failed.
    bool Commit();
    // Finishes an atomic writer's temporary file without putting it in place and hands it
    // to `done`, so that many files can be made durable together; with `sync` it reaches the
    // disk now. False with errno set on any failure, and the temporary file is gone then.
    bool Finish(bool sync, PendingFiles& done);
    // Gives up: an atomic writer removes its temporary file, the target stays as it was.
    void Abort();
    const std::string& Path() const { return target; }

private:
    std::FILE* file = nullptr;
    std::string target;
    AtomicFile replacement;
    bool atomic = false;
    int error = 0;  // errno of the first write that failed
    std::vector<char> buffer;
};

// Reads a whole text file as lines (UTF-8); false if it cannot be read.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// Writes lines to a file atomically; false if the file could not be written.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
