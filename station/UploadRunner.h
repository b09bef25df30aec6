#pragma once
// Starts the upload command as a process of its own and ends it when its time is up.
#include <QObject>
#include <string>

class UploadRunner : public QObject {
public:
    explicit UploadRunner(QObject* parent = nullptr) : QObject(parent) {}
    ~UploadRunner() override;

    // Starts `program` (a program name or path, no arguments, no shell) in `workingDir`, or
    // in the station's own folder when that is empty.
    // Each start gets its own time limit, after which the process is killed if it still runs.
    // A program that cannot be started is no error for the batch: false, and the reason in
    // LastError().
    bool Start(const std::string& program, const std::string& workingDir, int timeLimitMs);
    const std::string& LastError() const { return lastError; }
    int Running() const;

private:
    std::string lastError;
};
