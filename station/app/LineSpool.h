#pragma once
// Lines on their way to the broker or the central archive, kept in a file until they are
// acknowledged, so that neither a broker outage nor a killed station loses one.
//
// The file is a log of records, each checked by a CRC:
//   "E <epoch> <next> <crc>\n"                 the file's identity and the next sequence number
//   "D <seq> <length> <crc>\n" <line> "\n"     a line to send
//   "A <seq> <crc>\n"                          the line <seq> is acknowledged
//   "T <seq> <crc>\n"                          every line up to <seq> is acknowledged or given up
// The epoch is chosen when the file is made: sequence numbers count within one epoch, so an
// acknowledgment for a lost file's numbers never releases the lines of a new one.
// A record is appended with one write before the line is handed to the network, so a crash
// leaves at most a torn last record. A torn data record was never sent and is dropped; a torn
// acknowledgment leaves its line pending, so the line goes out again and the receiver drops
// the second copy. Nothing is lost and the order never changes. The file is rewritten (new
// file, then rename) when more than half of it is acknowledged, so a lasting backlog does not
// make it grow without bound; it is made again when it is deleted or when its folder appears.
// At most `maxLines` lines wait; beyond that the oldest are given up (Dropped()).
#include <cstdint>
#include <ctime>
#include <map>
#include <string>

class LineSpool {
public:
    static constexpr std::size_t kDefaultMaxLines = 200000;

    // Opens or creates the file and reads the lines still pending. Problems (an unreadable
    // file, damaged records skipped) are in Error().
    explicit LineSpool(std::string path, int syncIntervalSeconds = 10, std::size_t maxLines = kDefaultMaxLines);
    ~LineSpool();
    LineSpool(const LineSpool&) = delete;
    LineSpool& operator=(const LineSpool&) = delete;

    // Keeps the line and returns its sequence number. When the file cannot take it, the line
    // is still kept in memory (Error() says why) so a running station sends it anyway.
    std::uint64_t Append(const std::string& line);
    void Acknowledge(std::uint64_t seq);
    // Every line up to and including `seq`.
    void AcknowledgeThrough(std::uint64_t seq);

    // Pending lines by sequence number, oldest first.
    const std::map<std::uint64_t, std::string>& Pending() const { return pending; }
    std::size_t Backlog() const { return pending.size(); }
    const std::string& Path() const { return path; }
    const std::string& Epoch() const { return epoch; }
    const std::string& Error() const { return error; }
    // The lines are in memory only: the file could not be made or written.
    bool InMemoryOnly() const { return fd < 0; }
    // Lines given up since the start because more waited than the spool holds.
    std::uint64_t Dropped() const { return dropped; }
    // Something to tell once (the file made again); empty when there is nothing new.
    std::string TakeNotice();
    // Pushes what was written to the medium now.
    void Sync();
    // Once the sync interval has passed since the last sync: a descriptor of the file for the
    // caller to sync and close (SyncCopy) outside its lock, so that a slow medium holds up no
    // one else; -1 when no sync is due. Also makes the file again when it was deleted or could
    // not be made so far.
    int SyncDue();
    static void SyncCopy(int copy);

    // The bytes of one data record, for tests of the reader.
    static std::string DataRecord(std::uint64_t seq, const std::string& line);

private:
    void Load();
    bool Write(const std::string& record);
    void Rewrite();
    void Forget(std::uint64_t seq, const std::string& line);
    void CheckFile();

    std::string path;
    std::string epoch;
    std::string error;
    std::string notice;
    std::map<std::uint64_t, std::string> pending;
    std::uint64_t nextSeq = 1;
    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t deadBytes = 0;  // records of acknowledged lines and the acknowledgments
    std::size_t maxLines;
    std::uint64_t dropped = 0;
    int syncInterval;
    bool unsynced = false;
    time_t lastSync = 0;
    time_t lastCheck = 0;
};
