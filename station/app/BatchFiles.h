#pragma once
// The files one batch publishes beside each other: pictures, WAP files, the page. A file is
// replaced only when its content changed; one that already holds the same bytes is left alone,
// its time stamp included, so a minute without news writes nothing. Changed files are written
// beside their targets, made durable together and then renamed into place, each in one step:
// readers never see half a file, and after a power cut each file is the old one or the new.
#include <memory>
#include <string>
#include <vector>

class AtomicFile;

class BatchFiles {
public:
    BatchFiles();
    ~BatchFiles();
    BatchFiles(const BatchFiles&) = delete;
    BatchFiles& operator=(const BatchFiles&) = delete;

    // `bytes` to replace the file `path` at Publish; nothing to do when the file there holds
    // them already. False with errno set when the new file could not be written beside the
    // target (the old one then stays).
    bool Stage(const std::string& path, const std::string& bytes);
    // A temporary another writer has finished (a conversion's day file, say): kept for Publish
    // when it differs from its target, else removed.
    void Stage(std::unique_ptr<AtomicFile> written);

    struct Failure {
        std::string path;
        std::string reason;
    };
    // Syncs the staged files and puts them in place, in the order staged. The writeback of
    // all of them starts before the first is synced, so the file system commits them at once
    // rather than once per file. Returns the files that could not be put in place; their old
    // files stay.
    std::vector<Failure> Publish();

private:
    std::vector<std::unique_ptr<AtomicFile>> staged;
};
