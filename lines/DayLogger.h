#pragma once
// Files each device line into the raw log of its own day: DataDir + yyyymmdd + ".txt".
// A line reported as logged has been handed to the operating system in one piece before the
// call returns, so a crash of the program loses nothing. The file is synced to the medium when
// a line comes `syncInterval` seconds or more after the last sync, after kMaxUnsynced lines,
// and whenever the owner calls Sync() (the station does so on a timer of the same interval, for
// devices that send rarely): a power cut loses at most that much, while an SD card is spared
// one sync per line. A line counts as filed only once its sync succeeded: when the sync fails
// (a medium that fails or turns read-only), the lines since the last good sync wait again, and
// the file is cut back to its synced length before they are written anew, so none is there
// twice.
//
// The syncs may run on a thread of their own (SyncInBackground): the thread that hands in the
// lines then only writes, and a medium whose syncs take seconds does not hold it up. A line
// still counts as filed only once its sync is known to be good; a failed one sends the lines
// since the last good sync back to wait, as above.
//
// The logger writes only into the data folder on the device where it found it first: while
// that folder is not there, a medium not mounted, the lines wait instead of going into the
// bare mount point or a folder made below it. A folder deleted on its medium is made again.
//
// A line that cannot be written (medium full or read-only, folder gone) waits in memory, in
// arrival order, and is written into its own day file as soon as writing works again; a line
// is written once, never twice. When more lines wait than the memory holds, the oldest go.
// A day file deleted or moved away while open is made anew under its name, with the lines
// written since it went.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lines/SyncThread.h"

// The logger's file operations; tests put a medium behind them that fails and recovers.
// Each returns what its POSIX namesake returns, with errno set on failure.
class DayFileIO {
public:
    virtual ~DayFileIO() = default;
    virtual int Open(const std::string& name);  // read-write, appending, created if missing
    virtual ssize_t Write(int fd, const char* data, std::size_t size);
    virtual int Truncate(int fd, off_t size);
    // Makes the folder and its parents; false with errno when that fails.
    virtual bool MakeFolder(const std::string& dir, bool& created);
    virtual int DataSync(int fd);
};

class DayLogger {
public:
    enum class Outcome {
        Ignored,   // no "dd.mm.yy " at the start: a device message, not a data line
        Logged,    // this line and every line before it are in their files
        Rejected,  // the date at the start is no date: line noise, not stored
        Failed     // not written now (see Error()); the line waits, see Waiting()
    };

    // Something the owner tells the observer once.
    struct Notice {
        enum class Kind { FolderCreated, FileRenewed } kind;
        std::string text;
    };

    // Over a day of lines at one line a second.
    static constexpr std::size_t kDefaultCapacity = 100000;
    // Lines written but not yet synced, kept to be written again should the sync fail; a
    // logger that is never asked to sync (the collector) syncs after this many.
    static constexpr std::size_t kMaxUnsynced = 1024;

    explicit DayLogger(std::string dataDir, int syncIntervalSeconds = 10, std::unique_ptr<DayFileIO> io = nullptr,
                       std::size_t capacity = kDefaultCapacity);
    ~DayLogger();
    DayLogger(const DayLogger&) = delete;
    DayLogger& operator=(const DayLogger&) = delete;

    Outcome HandleLine(const std::string& line);

    // Closes the day file (pause, new settings); the next line opens it again for appending.
    // Waiting lines stay waiting.
    void Close();
    // Lines still waiting go into the new folder.
    void SetDataDir(const std::string& dir);
    const std::string& DataDir() const { return dataDir; }
    // Path of the day file last chosen; empty before the first data line and after Close.
    const std::string& LogFileName() const { return logFileName; }
    // Why the last line failed, naming the file.
    const std::string& Error() const { return error; }
    // Pushes what was written to the medium now; when that fails, the lines since the last
    // good sync wait again (see Waiting and Error).
    void Sync();

    // From now on the syncs run on a thread of their own. `onSyncDone` is called on that
    // thread when a sync has ended; the owner then calls FinishSyncs() on its own thread.
    void SyncInBackground(std::function<void()> onSyncDone);
    // Takes the results of the syncs that have ended: the lines of a failed one wait again.
    void FinishSyncs();
    // Waits for the syncs under way, takes their results, and syncs on the calling thread from
    // now on: for the end, when every line must be known to be safe or waiting.
    void SyncInForeground();

    // Writes what waits, as far as writing works, and syncs it; returns how many lines it wrote.
    std::size_t Retry();
    std::size_t Waiting() const { return pending.size(); }
    // The waiting lines, oldest first, and their removal: for keeping them elsewhere when the
    // program ends.
    std::vector<std::string> WaitingLines() const;
    void DropWaiting() { pending.clear(); }
    // Lines an earlier run could not file: they wait before every line that comes after, and
    // are written now as far as writing works. Lines without a valid date are left out.
    void Restore(const std::vector<std::string>& lines);
    // Lines given up since the start because more waited than the memory holds.
    std::size_t Dropped() const { return dropped; }
    // Whether the last failure was a lack of space rather than a medium that refuses writes.
    bool MediumFull() const { return mediumFull; }
    std::vector<Notice> TakeNotices();

    // Called once for each line as it goes into its day file, also for a line that waited;
    // not again when a line is written anew into a renewed file.
    std::function<void(const std::string& line)> OnWritten;

    // "X", "Y", "Z" joined by "/" for the axis letters that occur in the line.
    static std::string ComponentText(const std::string& line);

private:
    struct Pending {
        std::string day;  // yyyymmdd
        std::string line;
        bool again = false;  // rescued from a deleted file: written before
    };

    // Lines written and handed to a sync, kept until it is known how the sync went.
    struct InFlight {
        std::uint64_t id;
        std::string name;
        std::deque<Pending> lines;
        off_t cutBack;  // the file's length before these lines
        bool voided = false;
    };

    std::size_t Flush();
    bool SyncOpen(bool closing = false);
    void SyncEnded(InFlight job, int err);
    void VoidSyncsOf(const std::string& name);
    bool FolderReady(const std::string& name);
    bool NotTheDataFolder();
    bool OpenFile(const std::string& name);
    bool CloseFile();
    bool CutTornLine();
    bool RescueIfGone();
    bool Append(const std::string& line);
    void Fail(const std::string& name, int err);
    void Keep(Pending p, bool atFront);

    std::string dataDir;
    std::string logFileName;
    std::string openDay;  // yyyymmdd of the open file
    std::string error;
    std::unique_ptr<DayFileIO> io;
    int fd = -1;
    int syncInterval;
    time_t lastSync = 0;
    // Written to the open file since its last good sync, and the file's length then.
    std::deque<Pending> unsynced;
    // Where the next sync's lines begin in the open file: the cut-back point should it fail.
    off_t syncedEnd = 0;
    std::deque<InFlight> inFlight;
    std::uint64_t lastSyncId = 0;
    // The device of the data folder as first found. A folder made anew on it is the data
    // folder still (the collector makes a station's folder again when it was taken away).
    bool folderKnown = false;
    dev_t folderDevice = 0;

    // Where the open file is known to have been in the folder: the lines up to here went with
    // it when it was deleted or moved, the lines after it are written anew.
    off_t confirmedEnd = 0;
    // A torn line that could not be cut off at once: cut before the file takes another line.
    std::string cutName;
    off_t cutTo = -1;

    std::deque<Pending> pending;
    std::size_t capacity;
    std::size_t dropped = 0;
    bool mediumFull = false;
    std::vector<Notice> notices;
    // Last, so that it ends, syncing what it was given, before the file operations go.
    std::unique_ptr<SyncThread> syncThread;
};
