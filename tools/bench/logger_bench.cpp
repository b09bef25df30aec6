// How long a logged line takes when the day file is synced after every line, and when it is
// synced at most every ten seconds, on the medium of the folder given (default: /tmp).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "lines/DayLogger.h"
#include "mox/rtl/CommandLine.h"

namespace {

struct Figures {
    double meanUs, p99Us, maxUs;
};

Figures Measure(const std::string& folder, int syncInterval, int lines)
{
    std::filesystem::remove(folder + "20030615.txt");
    DayLogger log(folder, syncInterval);
    std::vector<double> us;
    us.reserve(std::size_t(lines));
    char line[64];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "15.06.03 %02d:%02d:%02d: Y,  %d X,  %d", i / 3600 % 24, i / 60 % 60, i % 60,
                      100 + i % 7, -20 + i % 5);
        const auto t0 = std::chrono::steady_clock::now();
        if (log.HandleLine(line) != DayLogger::Outcome::Logged) {
            std::fprintf(stderr, "mox-bench-logger: %s\n", log.Error().c_str());
            std::exit(1);
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    log.Close();
    std::filesystem::remove(folder + "20030615.txt");
    double sum = 0;
    for (double v : us) sum += v;
    std::sort(us.begin(), us.end());
    return {sum / lines, us[std::size_t(lines * 0.99)], us.back()};
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench-logger",
                                "Usage: mox-bench-logger [FOLDER [LINES]]\n"
                                "Measures the day logger's cost per line, with a sync after every line and\n"
                                "at most every 10 s (default: /tmp, 2000 lines).\n",
                                {},
                                2};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    std::string folder = argc > 1 ? argv[1] : "/tmp";
    if (folder.back() != '/') folder += '/';
    const int lines = argc > 2 ? std::atoi(argv[2]) : 2000;
    std::printf("Day logger, %d lines into %s\n\n", lines, folder.c_str());
    std::printf("| Sync | Mean us/line | 99th percentile us | Max us |\n|---|---:|---:|---:|\n");
    const Figures every = Measure(folder, 0, lines);
    std::printf("| after every line | %.1f | %.1f | %.1f |\n", every.meanUs, every.p99Us, every.maxUs);
    const Figures tenSeconds = Measure(folder, 10, lines);
    std::printf("| at most every 10 s | %.1f | %.1f | %.1f |\n", tenSeconds.meanUs, tenSeconds.p99Us, tenSeconds.maxUs);
    return 0;
}
