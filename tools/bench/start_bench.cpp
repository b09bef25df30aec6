// mox-bench-start: the programs' runs that open no window, as whole processes from exec to
// exit, beside the floor of starting any process at all. Most of a short run is the loading of
// libraries, which is what this shows.
//
//   mox-bench-start [runs [BIN]]
//
// BIN: the folder of the programs measured, this build's bin folder unless given (a copy of
// another build's programs, to compare).
// Prints a Markdown table: best and median wall milliseconds of `runs` runs (default 20), and
// the processor milliseconds (user + system) of the best run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mox/rtl/CommandLine.h"
#include "tests/conversion/RealSeconds.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const TCommandLine kCommandLine{"mox-bench-start",
                                "Aufruf: mox-bench-start [LÄUFE [ORDNER]]\n"
                                "Misst die Läufe der Programme, die kein Fenster öffnen, als ganze Prozesse\n"
                                "(Start bis Ende), neben dem Start von /bin/true. LÄUFE: je Befehl, Vorgabe 20;\n"
                                "ORDNER: der Ordner der Programme, Vorgabe der bin-Ordner dieses Baus.\n"
                                "  --help     diese Hilfe\n"
                                "  --version  die Version\n",
                                {},
                                2};

struct Run {
    double wallMs = 0, cpuMs = 0;
    bool ok = false;
};

// One process with its output on /dev/null; its own processor time from wait4.
Run Spawn(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    Run r;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        r.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
        r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
        r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&files);
    return r;
}

void Row(const std::string& what, const std::vector<std::string>& command, int runs,
         const std::function<void()>& before = {})
{
    std::vector<Run> all;
    for (int i = 0; i <= runs; ++i) {  // the first run only fills the page cache
        if (before) before();
        const Run r = Spawn(command);
        if (!r.ok) {
            std::printf("| %s | failed | | |\n", what.c_str());
            return;
        }
        if (i > 0) all.push_back(r);
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.wallMs < b.wallMs; });
    std::printf("| %s | %.1f | %.1f | %.1f |\n", what.c_str(), all.front().wallMs, all[all.size() / 2].wallMs,
                all.front().cpuMs);
    std::fflush(stdout);
}

// A day of one-second lines of two sensors, from a real observatory day.
bool WriteRawDay(const std::string& file)
{
    std::vector<SecondRecord> seconds;
    for (const auto& e : fs::directory_iterator(BENCH_REAL_DATA "/wic20220810vsec"))
        if (e.path().extension() == ".sec") seconds = ReadIagaSeconds(e.path().string());
    if (seconds.size() != 86400) return false;
    std::ofstream out(file, std::ios::binary);
    for (const SecondRecord& r : seconds) {
        const long readings[2] = {std::isnan(r.v[0]) ? 0 : std::lround(r.v[0]),
                                  std::isnan(r.v[1]) ? 0 : std::lround(r.v[1])};
        out << DeviceStamp(10, 8, 2022, r.second) << DevicePayload("XY", readings) << "\r\n";
    }
    return bool(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char name[] = "/tmp/mox-bench-start-XXXXXX";
    if (!mkdtemp(name)) return 1;
    // The picture's day apart from the folder's: the picture's run leaves the day file beside
    // its log, as a station's later runs find it.
    const std::string work = name, days = work + "/days", day = work + "/20220810.txt";
    fs::create_directories(days);
    if (!WriteRawDay(day) || !fs::copy_file(day, days + "/20220810.txt")) {
        std::fprintf(stderr, "mox-bench-start: the one-second day is missing in %s\n", BENCH_REAL_DATA);
        return 1;
    }
    // The settings of a station that publishes PNG pictures; nothing of the user's.
    std::ofstream(work + "/mox.ini") << "[Verzeichnisse]\r\nBilder=" << work << "/img\r\n[Batch]\r\nBildformat=2\r\n";
    setenv("MOX_INI", (work + "/mox.ini").c_str(), 1);
    const std::string bin = (argc > 2 ? std::string(argv[2]) : std::string(MOX_BINARY_DIR "/bin")) + "/";
    const auto clean = [&] {
        for (const auto& e : fs::directory_iterator(days))
            if (e.path().extension() != ".txt") fs::remove(e.path());
    };

    std::printf("Whole processes, %d runs each after one to fill the page cache; programs of %s\n\n", runs,
                bin.c_str());
    std::printf("| Run | best wall ms | median wall ms | CPU ms of the best |\n|---|---:|---:|---:|\n");
    Row("`/bin/true` (floor)", {"/bin/true"}, runs);
    Row("`MOX_View --version`", {bin + "MOX_View", "--version"}, runs);
    Row("`MOX_View DAY 642 376`: the picture of a one-second day, PNG", {bin + "MOX_View", day, "642", "376"}, runs);
    Row("`MOX_Convert --version`", {bin + "MOX_Convert", "--version"}, runs);
    Row("`MOX_Convert auto FOLDER`: one one-second day", {bin + "MOX_Convert", "auto", days}, runs, clean);
    fs::remove_all(work);
    return 0;
}
