#pragma once
// Batch conversion of a folder of raw day logs: which logs the folder holds, whether their
// day files are missing or out of date, and the conversion of one kind of them. No windows
// here: the converter's window and its unattended run both work through this unit.
#include <condition_variable>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TIniFile;
class TMOX_Diagram;

// The status of a log, also the index of its icon.
enum LogStatus { stAllOk = 0, stNoMox = 1, stMoxTooOld = 2 };

// "all ok", "no MOX-file", "MOX-file to old".
const char* StatusText(LogStatus status);

struct LogItem {
    std::string Caption;  // the log's file name, "yyyymmdd.txt"
    LogStatus Status = stNoMox;
    std::string Error;  // why the last conversion of this log failed; empty when it did not
};

struct FolderScan {
    std::vector<LogItem> Items;  // sorted by name, so the oldest day comes first
    // Logs left out because another log of the folder names the same day in another letter
    // case ("20030615.TXT" beside "20030615.txt"): both would write the one .mox file. One
    // line each, saying which log was taken instead.
    std::vector<std::string> Skipped;
    bool AnyMissing = false;   // a log without its .mox file
    bool AnyOutdated = false;  // a log whose .mox file is not newer than the log
    std::string Error;         // the folder could not be listed; empty when it could
};

// A station's day log: "yyyymmdd" naming a real calendar date, then ".txt" (in any letter
// case, as logs copied from other systems may have it). The snapshot "mox_data.txt",
// conversion reports (".log") and day files (".mox") never qualify.
bool IsDayLogName(const std::string& name);

// The folder with a path separator at its end. An empty folder stays empty: it stands for
// the current directory.
std::string AsFolderPath(const std::string& folder);

// The status of one log of the folder, by the modification times of the log and its .mox
// file: the .mox file counts as up to date only when it is strictly newer than the log.
LogStatus StatusOf(const std::string& folder, const std::string& caption);

// Lists the day logs of `folder` (empty: the current directory) with their status. Of logs
// of one day in several letter cases, the one ending in ".txt" as the station writes it is
// listed, else the first by name.
FolderScan ScanFolder(const std::string& folder);

// The "MOX-Header" keys of the station's settings that the converted files carry: author,
// location, longitude, latitude, locator and the component of a one-sensor device. A key
// that is missing takes the component's own site record, whatever the diagram carried before.
// Unknown keys and the placeholder record are told once (stderr, and the notes a window takes).
void ReadHeaderSettings(const TIniFile& ini, TMOX_Diagram& diagram);

// The folder the window opens with: the station's data folder ("Verzeichnisse" /
// "Datenverzeichnis"), else the user's own station's (~/.local/share/mox/data), else the
// service's (/var/lib/mox/data), the first that exists; else `current`.
std::string StartFolder(const TIniFile& ini, const std::string& current,
                        const std::string& serviceFolder = "/var/lib/mox/data");

// One conversion pass over the logs of one status ("Convert": stNoMox, "Update":
// stMoxTooOld). The days are converted on all cores into temporary files; their results are
// taken in the order of the items, one log per Step, so that a window can show each step.
// The files of the days finished at that moment are made durable with one sync of the file
// system and then put in place. A log that cannot be converted is reported and the pass goes
// on with the next one; its .mox file, if there is one, stays as it was, so the log stays
// outdated. The conversions start with the first call that asks for a result. Destroying the
// run stops it: what is not put in place by then is dropped.
class ConvertRun {
public:
    // threads 0: one per core.
    ConvertRun(TMOX_Diagram& diagram, std::string folder, std::vector<LogItem>& items, LogStatus which,
               unsigned threads = 0);
    ~ConvertRun();
    ConvertRun(const ConvertRun&) = delete;
    ConvertRun& operator=(const ConvertRun&) = delete;

    // Index into the items of the next log to take, or items.size() when done.
    std::size_t Next() const { return next; }
    bool Done() const { return next >= items.size(); }
    // True when Step would not wait for the log at Next().
    bool Ready();
    // From now on Step waits until every log of the pass is converted (or as many as are
    // held at once, 64), so that the days are put in place after a single sync per group.
    void WaitAll();
    // Takes the log at Next() (waiting for its conversion) and moves on; false when that log
    // failed (its Error says why).
    bool Step();

    // Logs of the handled status at the start, those converted so far (in any order, for a
    // progress bar) and those taken by Step.
    int Total() const { return total; }
    int Finished();
    int Handled() const { return handled; }
    const std::vector<std::string>& Converted() const { return converted; }
    const std::vector<std::string>& Failures() const { return failures; }  // "caption: why"

private:
    struct Slot;
    void SkipOthers();
    void Start();
    void Work();
    void PutReadyInPlace();
    bool GroupComplete() const;

    TMOX_Diagram& diagram;
    std::string folder;
    std::vector<LogItem>& items;
    LogStatus which;
    std::size_t next = 0;
    int total = 0;
    int handled = 0;
    std::vector<std::string> converted;
    std::vector<std::string> failures;

    std::vector<std::size_t> order;  // the items of the pass
    std::vector<Slot> results;       // their results, by position in order
    std::size_t taken = 0;           // positions handed out by Step
    std::size_t inPlace = 0;         // positions whose files are in place or dropped
    std::size_t claimed = 0;         // positions a worker has started
    int finished = 0;
    bool stopping = false;
    bool started = false;
    bool gather = false;
    unsigned threadCount = 1;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::thread> workers;
};

// Exit codes of the unattended run.
enum UnattendedExit { exitOk = 0, exitSomeFailed = 1, exitUsage = 2 };

// The unattended run for a folder: outdated .mox files are updated first, then missing ones
// converted. The name of every converted log goes to `out`, every failure to `err`.
// Returns exitOk, exitSomeFailed when a log could not be converted, or exitUsage when the
// folder is missing or cannot be listed.
int RunUnattended(const std::string& folder, TMOX_Diagram& diagram, std::ostream& out, std::ostream& err);
