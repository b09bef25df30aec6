#pragma once
// Finished temporary files waiting to replace their targets. A batch that writes many files
// makes them durable with one sync of the file system and only then renames them, instead of
// paying one sync per file; a power cut still leaves each target either old or new. Each
// temporary keeps its lock until it is put in place or dropped.
#include <memory>
#include <string>
#include <vector>

class AtomicFile;

class PendingFiles {
public:
    PendingFiles();
    ~PendingFiles();
    PendingFiles(PendingFiles&& other) noexcept;
    PendingFiles& operator=(PendingFiles&& other) noexcept;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    void Add(AtomicFile&& file);
    void Append(PendingFiles&& other);
    bool Empty() const { return files.empty(); }

    // Renames the files in the order they were added. The first rename that fails raises
    // std::system_error naming its target, and the files after it are not put in place: a
    // writer adds the file that marks the work as done last.
    void PutInPlace();
    // Removes the temporary files that were not put in place.
    void Discard();
    // Hands the files over, in the order they were added, to a writer that puts them in place
    // by its own rules.
    std::vector<std::unique_ptr<AtomicFile>> Release();

private:
    std::vector<std::unique_ptr<AtomicFile>> files;
};

// Writes every modified buffer of the file system that holds `path` to the disk; false with
// errno set when that fails.
bool SyncFileSystemOf(const std::string& path);
