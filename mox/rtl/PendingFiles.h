#pragma once
// Finished temporary files waiting to replace their targets. A batch that writes many files
// makes them durable with one sync of the file system and only then renames them, instead of
// paying one sync per file; a power cut still leaves each target either old or new.
#include <string>
#include <utility>
#include <vector>

class PendingFiles {
public:
    PendingFiles() = default;
    ~PendingFiles() { Discard(); }
    PendingFiles(PendingFiles&& other) noexcept : files(std::move(other.files)) { other.files.clear(); }
    PendingFiles& operator=(PendingFiles&& other) noexcept;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    void Add(std::string temp, std::string target);
    void Append(PendingFiles&& other);
    bool Empty() const { return files.empty(); }
    const std::string& FirstTarget() const { return files.front().second; }

    // Renames the files in the order they were added. The first rename that fails raises
    // std::system_error naming its target, and the files after it are not put in place: a
    // writer adds the file that marks the work as done last.
    void PutInPlace();
    // Removes the temporary files that were not put in place.
    void Discard();

private:
    std::vector<std::pair<std::string, std::string>> files;  // temporary file, target
};

// Writes every modified buffer of the file system that holds `path` to the disk; false with
// errno set when that fails.
bool SyncFileSystemOf(const std::string& path);
