#pragma once
// A nearly full disk: a tmpfs of a few kilobytes mounted on a fresh folder. Mounting needs
// root (CI runs as root); elsewhere the test that needs it is skipped.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

class SmallDisk {
public:
    SmallDisk(const std::string& folder, int kilobytes) : path(folder)
    {
        std::filesystem::create_directories(path);
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
        if (!mounted) reason = std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted) umount2(path.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted; }
    const std::string& Reason() const { return reason; }
    std::string operator/(const std::string& name) const { return path + "/" + name; }

private:
    std::string path, reason;
    bool mounted = false;
};

#define REQUIRE_SMALL_DISK(disk)                                                                                       \
    if (!(disk).Mounted()) GTEST_SKIP() << "no tmpfs to fill: " << (disk).Reason()
