#pragma once
// Lines on their way to the broker, kept in a file until the broker has acknowledged them, so
// that neither a broker outage nor a killed station loses one.
//
// The file is a log of records, each checked by a CRC:
//   "D <seq> <length> <crc>\n" <line> "\n"   a line to send
//   "A <seq> <crc>\n"                         the broker has the line <seq>
// A record is appended with one write before the line is handed to the network, so a crash
// leaves at most a torn last record. A torn data record was never sent and is dropped; a torn
// acknowledgment leaves its line pending, so the line goes out again and the collector drops
// the second copy. Nothing is lost and the order never changes. When nothing is pending the
// file is emptied; when it has grown long with acknowledged records it is rewritten (new file,
// then rename).
#include <cstdint>
#include <ctime>
#include <map>
#include <string>

class LineSpool {
public:
    // Opens or creates the file and reads the lines still pending. Problems (an unreadable
    // file, damaged records skipped) are in Error().
    explicit LineSpool(std::string path, int syncIntervalSeconds = 10);
    ~LineSpool();
    LineSpool(const LineSpool&) = delete;
    LineSpool& operator=(const LineSpool&) = delete;

    // Keeps the line and returns its sequence number. When the file cannot take it, the line
    // is still kept in memory (Error() says why) so a running station sends it anyway.
    std::uint64_t Append(const std::string& line);
    void Acknowledge(std::uint64_t seq);

    // Pending lines by sequence number, oldest first.
    const std::map<std::uint64_t, std::string>& Pending() const { return pending; }
    std::size_t Backlog() const { return pending.size(); }
    const std::string& Path() const { return path; }
    const std::string& Error() const { return error; }
    // Pushes what was written to the medium now.
    void Sync();
    // The same, once the sync interval has passed since the last one.
    void SyncIfDue();

private:
    void Load();
    bool Write(const std::string& record);
    void Rewrite();

    std::string path;
    std::string error;
    std::map<std::uint64_t, std::string> pending;
    std::uint64_t nextSeq = 1;
    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t acknowledgedBytes = 0;
    int syncInterval;
    bool unsynced = false;
    time_t lastSync = 0;
};
