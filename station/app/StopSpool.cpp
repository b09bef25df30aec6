#include "station/app/StopSpool.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "mox/rtl/AtomicFile.h"

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? v : "";
}

// systemd may name several folders, separated by ':'; the first is the unit's own.
std::string FirstOf(const std::string& list) { return list.substr(0, list.find(':')); }

std::string FileIn(const std::string& folder) { return folder + "/" + StopSpool::kFileName; }

}  // namespace

std::vector<std::string> StopSpool::DefaultFolders()
{
    std::vector<std::string> folders;
    if (const std::string state = FirstOf(Env("STATE_DIRECTORY")); !state.empty()) folders.push_back(state);
    else if (const std::string xdg = Env("XDG_STATE_HOME"); !xdg.empty()) folders.push_back(xdg + "/mox");
    else if (const std::string home = Env("HOME"); !home.empty()) folders.push_back(home + "/.local/state/mox");
    if (const std::string run = FirstOf(Env("RUNTIME_DIRECTORY")); !run.empty()) folders.push_back(run);
    else if (const std::string xdg = Env("XDG_RUNTIME_DIR"); !xdg.empty()) folders.push_back(xdg + "/mox");
    return folders;
}

StopSpool::StopSpool(std::vector<std::string> f) : folders(std::move(f)) {}

bool StopSpool::Save(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    error.clear();
    savedTo.clear();
    for (const std::string& folder : folders) {
        const std::string file = FileIn(folder);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        AtomicFile out;
        bool ok = out.Open(file);
        if (ok && !WriteAll(out.Fd(), text)) {
            const int err = errno;
            out.Abort();
            errno = err;
            ok = false;
        }
        if (ok) ok = out.Commit();
        if (ok) {
            savedTo = file;
            // Only this file holds them now: an older one elsewhere would file them twice.
            for (const std::string& other : folders)
                if (other != folder) std::filesystem::remove(FileIn(other), ec);
            return true;
        }
        error += (error.empty() ? "" : "; ") + file + ": " + std::strerror(errno);
    }
    if (folders.empty()) error = "kein Zustands- oder Laufzeitverzeichnis bekannt";
    return false;
}

std::vector<std::string> StopSpool::Load() const
{
    std::vector<std::string> lines;
    for (const std::string& folder : folders) {
        std::ifstream in(FileIn(folder), std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
        }
    }
    return lines;
}

void StopSpool::Clear()
{
    for (const std::string& folder : folders) {
        std::error_code ec;
        std::filesystem::remove(FileIn(folder), ec);
    }
}
