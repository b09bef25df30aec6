#include "mox/rtl/InternalPrograms.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "BuildInfo.h"

namespace fs = std::filesystem;

std::string InternalProgramPath(const std::string& name)
{
    std::error_code ec;
    if (const fs::path program = fs::canonical("/proc/self/exe", ec); !ec) {
        const fs::path beside = program.parent_path() / MOX_INTERNAL_FROM_PROGRAMS / name;
        if (fs::exists(beside, ec)) return beside.lexically_normal().string();
    }
    return (fs::path(MOX_INTERNAL_INSTALLED) / name).string();
}

int ExecInternalProgram(const std::string& name, char** argv)
{
    const std::string path = InternalProgramPath(name);
    execv(path.c_str(), argv);
    const int err = errno;
    std::fprintf(stderr, "%s: %s startet nicht: %s\n", program_invocation_short_name, path.c_str(), std::strerror(err));
    return err == ENOENT ? 127 : 126;
}
