#pragma once
// Files each device line into the raw log of its own day: DataDir + yyyymmdd + ".txt".
// A line reported as logged has been handed to the operating system in one piece before the
// call returns, so a crash of the program loses nothing. The file is synced to the medium when
// a line comes `syncInterval` seconds or more after the last sync, and whenever the owner calls
// Sync() (the station does so on a timer of the same interval, for devices that send rarely):
// a power cut loses at most that much, while an SD card is spared one sync per line.
#include <ctime>
#include <string>

class DayLogger {
public:
    enum class Outcome {
        Ignored,   // no "dd.mm.yy " at the start: a device message, not a data line
        Logged,
        Rejected,  // the date at the start is no date: line noise, not stored
        Failed     // a data line that could not be stored (see Error())
    };

    explicit DayLogger(std::string dataDir, int syncIntervalSeconds = 10);
    ~DayLogger();
    DayLogger(const DayLogger&) = delete;
    DayLogger& operator=(const DayLogger&) = delete;

    Outcome HandleLine(const std::string& line);

    // Closes the day file (pause, new settings); the next line opens it again for appending.
    void Close();
    void SetDataDir(const std::string& dir);
    const std::string& DataDir() const { return dataDir; }
    // Path of the day file last chosen; empty before the first data line and after Close.
    const std::string& LogFileName() const { return logFileName; }
    // Why the last line failed, naming the file.
    const std::string& Error() const { return error; }
    // Pushes what was written to the medium now.
    void Sync();

    // "X", "Y", "Z" joined by "/" for the axis letters that occur in the line.
    static std::string ComponentText(const std::string& line);

private:
    bool Open(const std::string& name);
    bool Append(const std::string& line);

    std::string dataDir;
    std::string logFileName;
    std::string error;
    int fd = -1;
    int syncInterval;
    bool unsynced = false;
    time_t lastSync = 0;
};
