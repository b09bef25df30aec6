#pragma once
// Starts the upload command as a process of its own and ends it when its time is up.
#include <sys/types.h>

#include <QObject>
#include <functional>
#include <set>
#include <string>

class UploadRunner : public QObject {
public:
    explicit UploadRunner(QObject* parent = nullptr) : QObject(parent) {}
    ~UploadRunner() override;

    // Starts `program` (a program name or path, no arguments, no shell) in `workingDir`, or
    // in the station's own folder when that is empty.
    // Each start gets its own time limit. The command runs in a process group of its own, so
    // that at the limit the whole group ends, also the clients a script started: TERM first,
    // KILL after the grace time.
    // A program that cannot be started is no error for the batch: false, and the reason in
    // LastError().
    bool Start(const std::string& program, const std::string& workingDir, int timeLimitMs);
    const std::string& LastError() const { return lastError; }
    int Running() const;
    void SetGraceTime(int ms) { graceMs = ms; }

    // Told when a command fails, ends at its limit or by a signal: the reason and the last
    // lines of its output. The rest of the output is read and dropped.
    std::function<void(const std::string&)> OnProblem;

private:
    void EndGroup(pid_t group);
    std::string lastError;
    int graceMs = 5000;
    std::set<pid_t> groups;  // groups that may still have members
};
