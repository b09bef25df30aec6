#include "mox/rtl/PendingFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

PendingFiles& PendingFiles::operator=(PendingFiles&& other) noexcept
{
    if (this != &other) {
        Discard();
        files = std::move(other.files);
        other.files.clear();
    }
    return *this;
}

void PendingFiles::Add(std::string temp, std::string target)
{
    files.emplace_back(std::move(temp), std::move(target));
}

void PendingFiles::Append(PendingFiles&& other)
{
    for (auto& f : other.files) files.push_back(std::move(f));
    other.files.clear();
}

void PendingFiles::PutInPlace()
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (std::rename(files[i].first.c_str(), files[i].second.c_str()) == 0) continue;
        const int err = errno;
        const std::string target = files[i].second;
        files.erase(files.begin(), files.begin() + std::ptrdiff_t(i));
        Discard();
        throw std::system_error(err, std::generic_category(),
                                "Datei kann nicht geschrieben werden: " + target);
    }
    files.clear();
}

void PendingFiles::Discard()
{
    for (const auto& f : files) std::remove(f.first.c_str());
    files.clear();
}

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
