#include "lines/StationLog.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

bool StderrIsJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream || !*stream) return false;
    unsigned long long dev = 0, ino = 0;
    if (std::sscanf(stream, "%llu:%llu", &dev, &ino) != 2) return false;
    // A program started from the service may pass the variable on with stderr redirected.
    struct stat st;
    return fstat(2, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

std::string FormatLogMessage(LogLevel level, const std::string& text, bool journal)
{
    // The journal names the program itself; a terminal or a log file needs the name.
    const std::string prefix = journal ? "<" + std::to_string(int(level)) + ">" : "MOX_View: ";
    std::string out;
    std::size_t start = 0;
    // Each line becomes a journal entry of its own, so each needs its own prefix.
    while (true) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        out += (journal || start == 0 ? prefix : std::string("  ")) + line + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

void LogMessage(LogLevel level, const std::string& text)
{
    const std::string out = FormatLogMessage(level, text, StderrIsJournal());
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}
