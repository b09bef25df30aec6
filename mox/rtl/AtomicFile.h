#pragma once
// Replacing a whole file so that readers see the old file or the new one, never half of one.
// The new content goes to "<target>.tmp" beside the target, which is renamed over the target
// when it is complete. The temporary name is fixed, so a write cut short by a crash leaves one
// temporary per target, which the next write of that target reuses; an exclusive lock on the
// temporary keeps two processes writing the same target (the station and the converter both
// write day files) from sharing it: the second waits until the first has renamed its file, or
// gives up with EBUSY after a few seconds when the first hangs.
#include <string>
#include <utility>

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Hands the temporary and its lock on, for a batch that puts many files in place later.
    AtomicFile(AtomicFile&& other) noexcept : fd(other.fd), target(std::move(other.target)), temp(std::move(other.temp))
    {
        other.fd = -1;
    }

    static std::string TemporaryName(const std::string& target) { return target + ".tmp"; }

    // Another writer of the same target finishes within milliseconds; one that holds its lock
    // longer hangs, and the station must not hang with it (the line keeps sending).
    static constexpr int LockWaitMs = 5000;

    // Creates the empty temporary of `target` and holds it; false with errno set when it
    // cannot be made (EBUSY when another writer held it for all of `lockWaitMs`).
    bool Open(const std::string& target, int lockWaitMs = LockWaitMs);
    bool IsOpen() const { return fd >= 0; }
    // The temporary, open for writing; writers that open files by name may write to TempPath()
    // instead, as long as they do it before Commit.
    int Fd() const { return fd; }
    const std::string& TempPath() const { return temp; }
    const std::string& Target() const { return target; }
    // Appends `bytes` to the temporary; false with errno set when they could not all be written.
    bool Write(const std::string& bytes);
    // Brings the temporary to the disk and puts it in place of the target; false with errno
    // set by the step that failed, the temporary then removed and the target as it was.
    bool Commit();
    // The two halves of Commit, for a batch that makes many temporaries durable with one
    // sync of the file system between them: the temporary to the disk, and the rename.
    bool Sync();
    bool PutInPlace();
    // Removes the temporary; the target stays as it was.
    void Abort();

private:
    int fd = -1;
    std::string target, temp;
};

// Copies `from` to `to` through an AtomicFile; false with errno set by the step that failed.
bool CopyFileAtomically(const std::string& from, const std::string& to);
// Replaces `path` with `bytes` through an AtomicFile; false with errno set by the step that
// failed, the old file then in place.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);
// Writes all of `bytes` to `fd`, through interrupted and partial writes; false with errno set
// (ENOSPC for a write that took nothing).
bool WriteAll(int fd, const std::string& bytes);
