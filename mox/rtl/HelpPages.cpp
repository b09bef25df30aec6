#include "mox/rtl/HelpPages.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "BuildInfo.h"

namespace fs = std::filesystem;

std::string HelpFolder()
{
    if (const char* env = std::getenv("MOX_HELP_DIR"); env && *env) return env;
    std::error_code ec;
    std::vector<fs::path> candidates;
    if (const fs::path program = fs::canonical("/proc/self/exe", ec); !ec) {
        candidates.push_back(program.parent_path() / MOX_HELP_FROM_PROGRAMS);
        candidates.push_back(program.parent_path() / MOX_HELP_FROM_INTERNAL_PROGRAMS);
    }
    candidates.push_back(MOX_HELP_INSTALLED);
    for (const fs::path& folder : candidates)
        if (fs::is_directory(folder, ec)) return fs::weakly_canonical(folder, ec).string();
    return {};
}
