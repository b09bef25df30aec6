#pragma once
// The fuzzer's bytes as a file in a private folder, since the readers take file names.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline const std::string& FuzzDir()
{
    static const std::string dir = [] {
        char name[] = "/tmp/mox-fuzz-XXXXXX";
        return std::string(mkdtemp(name)) + "/";
    }();
    return dir;
}

inline std::string WriteFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = FuzzDir() + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}
