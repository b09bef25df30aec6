#pragma once
// A small ext4 medium of its own: an image file on a loop device, mounted on a fresh folder,
// that can fail as a medium with an I/O error does (the file system shut down, as ext4 does
// before it turns read-only), be unmounted and be mounted again from the same device. Needs
// root (CI runs as root); elsewhere the test that needs it is skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

class LoopDisk {
public:
    LoopDisk(const std::string& image, const std::string& folder, int megabytes = 4) : path(folder)
    {
        std::filesystem::create_directories(path);
        if (geteuid() != 0) {
            reason = "not root";
            return;
        }
        const std::string make = "truncate -s " + std::to_string(megabytes) + "M " + image + " && mkfs.ext4 -q -F " +
                                 image + " >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) {
            reason = "mkfs.ext4 failed";
            return;
        }
        if (FILE* p = popen(("losetup -f --show " + image + " 2>/dev/null").c_str(), "r")) {
            char buffer[64] = {};
            if (std::fgets(buffer, sizeof buffer, p)) device = buffer;
            pclose(p);
            while (!device.empty() && (device.back() == '\n' || device.back() == ' ')) device.pop_back();
        }
        if (device.empty()) {
            reason = "no loop device";
            return;
        }
        mounted = Mount();
        if (!mounted) reason = std::strerror(errno);
    }
    ~LoopDisk()
    {
        Unmount(true);
        if (!device.empty()) std::system(("losetup -d " + device + " 2>/dev/null").c_str());
    }
    bool Usable() const { return mounted; }
    const std::string& Reason() const { return reason; }

    bool Mount()
    {
        mounted = mount(device.c_str(), path.c_str(), "ext4", 0, "") == 0;
        return mounted;
    }
    // Lazily: a file still open keeps the detached file system until it is closed.
    void Unmount(bool lazy)
    {
        if (mounted) umount2(path.c_str(), lazy ? MNT_DETACH : 0);
        mounted = false;
    }
    // Every later operation fails with EIO; what was not synced is not on the medium.
    bool Fail()
    {
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
        std::uint32_t flags = 2;  // EXT4_GOING_FLAGS_NOLOGFLUSH
        const bool ok = fd >= 0 && ioctl(fd, _IOR('X', 125, std::uint32_t), &flags) == 0;
        if (fd >= 0) close(fd);
        return ok;
    }

    std::string path, device, reason;
    bool mounted = false;
};

#define REQUIRE_LOOP_DISK(disk)                                                                                        \
    if (!(disk).Usable()) GTEST_SKIP() << "no ext4 medium on a loop device: " << (disk).Reason()
