#include "mox/rtl/PendingFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "mox/rtl/AtomicFile.h"

PendingFiles::PendingFiles() = default;
PendingFiles::~PendingFiles() { Discard(); }
PendingFiles::PendingFiles(PendingFiles&& other) noexcept : files(std::move(other.files)) { other.files.clear(); }

PendingFiles& PendingFiles::operator=(PendingFiles&& other) noexcept
{
    if (this != &other) {
        Discard();
        files = std::move(other.files);
        other.files.clear();
    }
    return *this;
}

void PendingFiles::Add(AtomicFile&& file) { files.push_back(std::make_unique<AtomicFile>(std::move(file))); }

void PendingFiles::Append(PendingFiles&& other)
{
    for (auto& f : other.files) files.push_back(std::move(f));
    other.files.clear();
}

void PendingFiles::PutInPlace()
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i]->PutInPlace()) continue;
        const int err = errno;
        const std::string target = files[i]->Target();
        Discard();
        throw std::system_error(err, std::generic_category(), "Datei kann nicht geschrieben werden: " + target);
    }
    files.clear();
}

void PendingFiles::Discard()
{
    for (auto& f : files) f->Abort();
    files.clear();
}

std::vector<std::unique_ptr<AtomicFile>> PendingFiles::Release() { return std::exchange(files, {}); }

bool SyncFileSystemOf(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}
