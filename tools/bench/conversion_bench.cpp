// mox-bench: speed and memory of the raw log conversion and of loading a day with the day
// before, on raw logs made from real one-second observatory data.
//
//   mox-bench [folder]   work folder for the generated logs (default: a new one under /tmp)
//   mox-bench --days FOLDER N
//                        only makes the first N days of that year in FOLDER
//   mox-bench --convert FILE [runs]
//                        prints the best processor milliseconds of Convert on FILE
//   mox-bench --year FOLDER [runs]
//                        a year of one-second logs (two sensors) in FOLDER, made once, then
//                        `MOX_Convert auto FOLDER` timed on all cores and on one core
//
// Prints a Markdown table; docs/benchmarks.md keeps a copy of its output.
#include <sys/resource.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mox/Mm.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/SysUtils.h"
#include "tests/conversion/RealSeconds.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Variant {
    const char* name;
    std::string letters;  // axis letters of the sensors, empty for one sensor without letter
    int step;             // seconds between lines
};

// Line faults as a serial line and a power cut deliver them, about one line in 500.
std::string BadLine(std::mt19937& random, const std::string& good)
{
    switch (random() % 5) {
    case 0: return good.substr(0, random() % good.size());  // cut off
    case 1: {                                               // line noise
        std::string s = good;
        for (int i = 0; i < 4; ++i) s[random() % s.size()] = char(random() % 32);
        return s;
    }
    case 2: return "11" + good.substr(2);                // another date
    case 3: return good.substr(0, 18) + " X  12 Y  34";  // no commas
    default: return std::string(random() % 200, '\0');   // NUL fill
    }
}

// A raw day log as the station writes it: "dd.mm.yy hh:mm:ss:" and the payload, CR LF.
std::string MakeLog(const std::vector<SecondRecord>& records, int day, int month, int year, const Variant& v,
                    long& lines)
{
    std::mt19937 random(20220810);
    std::string text;
    text.reserve(records.size() * 48);
    lines = 0;
    for (const SecondRecord& r : records) {
        if (r.second % v.step) continue;
        long readings[2];
        for (int s = 0; s < 2; ++s) {
            const double x = r.v[v.letters == "Z" ? 2 : s];
            readings[s] = std::isnan(x) ? 0 : std::lround(x);
        }
        std::string line = DeviceStamp(day, month, year, r.second) + DevicePayload(v.letters, readings);
        if (random() % 500 == 0) line = BadLine(random, line);
        text += line;
        text += "\r\n";
        ++lines;
    }
    return text;
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Peak resident memory since the last reset, minus what was resident then.
long ResidentKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

bool ResetPeak() { return bool(std::ofstream("/proc/self/clear_refs") << "5"); }

double ThreadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Timing {
    double cpu = 1e9;   // seconds on this thread's core
    double wall = 1e9;  // seconds until done, waiting for the disk included
};

// The fastest of `runs` calls, by processor time and by wall time: the machine's speed,
// not its neighbours'.
template <typename F>
Timing Fastest(int runs, F f)
{
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        const double c0 = ThreadCpuSeconds();
        f();
        best.cpu = std::min(best.cpu, ThreadCpuSeconds() - c0);
        best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

// Run as a fresh process: the memory that one conversion takes beyond what the process
// held before it, in KB.
int MeasureMemory(const std::string& file)
{
    TMOX_Diagram d;
    const long before = ResidentKb("VmRSS:");
    if (!ResetPeak()) return 1;
    d.Convert(file);
    std::printf("%ld\n", ResidentKb("VmHWM:") - before);
    return 0;
}

long MemoryOfConversion(const std::string& file)
{
    const std::string command =
        "'" + std::filesystem::read_symlink("/proc/self/exe").string() + "' --memory '" + file + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) return -1;
    long kb = -1;
    if (std::fscanf(child, "%ld", &kb) != 1) kb = -1;
    pclose(child);
    return kb;
}

// The records of the one .sec file in a folder.
std::vector<SecondRecord> ReadDay(const std::string& folder)
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.path().extension() == ".sec") return ReadIagaSeconds(e.path().string());
    return {};
}

std::string Cpu()
{
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

double ChildrenCpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

// Seconds of wall time of one shell command, negative when it failed; `cpu` gets the
// processor time of all its threads, which on a busy machine says more than the wall time.
double TimeCommand(const std::string& command, double* cpu = nullptr)
{
    const double c0 = ChildrenCpuSeconds();
    const auto t0 = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    if (cpu) *cpu = ChildrenCpuSeconds() - c0;
    return status == 0 ? seconds : -1;
}

// Days of raw logs made from the real day, 2022 day by day, unless the folder has them.
bool MakeYear(const std::string& folder, const std::vector<SecondRecord>& records, int days = 365)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const Variant two = {"two sensors X Y, 1 line/s", "XY", 1};
    for (int day = 0; day < days; ++day) {
        const TDateTime date = EncodeDate(2022, 1, 1) + day;
        int y, m, d;
        DecodeDate(date, y, m, d);
        char name[32];
        std::snprintf(name, sizeof name, "/%04d%02d%02d.txt", y, m, d);
        if (fs::exists(folder + name)) continue;
        long lines;
        Write(folder + name, MakeLog(records, d, m, y, two, lines));
    }
    return true;
}

int MeasureYear(const std::string& folder, int runs)
{
    namespace fs = std::filesystem;
    const auto today = ReadDay(std::string(BENCH_REAL_DATA) + "/wic20220810vsec");
    if (today.size() != 86400 || !MakeYear(folder, today)) {
        std::fprintf(stderr, "mox-bench: cannot make the year in %s\n", folder.c_str());
        return 1;
    }
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".txt") bytes += e.file_size();
    const auto clean = [&] {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".mox" || e.path().extension() == ".log") fs::remove(e.path());
    };
    const std::string convert = std::string("'") + MOX_CONVERT + "' auto '" + folder + "' >/dev/null";
    // Reading every log once, as the lower bound of any conversion, and to warm the cache.
    const double read = TimeCommand("cat '" + folder + "'/*.txt >/dev/null");
    struct Case {
        const char* name;
        std::string command;
    } cases[] = {{"all cores", convert}, {"one core (taskset -c 0)", "taskset -c 0 " + convert}};
    std::printf("A year of one-second logs (365 days, two sensors X Y, %.0f MB), input in the "
                "page cache; reading it all once (cat): %.2f s.\n\n",
                bytes / 1e6, read);
    std::printf("| `MOX_Convert auto` | Best s | Median s | MB/s | CPU s (best) |\n"
                "|---|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        std::vector<double> times;
        double bestCpu = 1e9;
        for (int i = 0; i < runs; ++i) {
            clean();
            double cpu;
            const double t = TimeCommand(c.command, &cpu);
            bestCpu = std::min(bestCpu, cpu);
            if (t < 0) {
                std::fprintf(stderr, "mox-bench: failed: %s\n", c.command.c_str());
                return 1;
            }
            times.push_back(t);
        }
        std::sort(times.begin(), times.end());
        std::printf("| %s | %.2f | %.2f | %.0f | %.2f |\n", c.name, times.front(), times[times.size() / 2],
                    bytes / 1e6 / times.front(), bestCpu);
    }
    return 0;
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench",
                                "Usage: mox-bench [FOLDER]\n"
                                "Measures the conversion of raw logs and the loading of days and prints\n"
                                "the tables of docs/benchmarks.md; FOLDER is kept (default: a temporary one).\n"
                                "  --memory FILE  peak memory of one conversion of FILE, in KB\n",
                                {{"--memory", true}},
                                1};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    namespace fs = std::filesystem;
    if (argc == 3 && std::string(argv[1]) == "--memory") return MeasureMemory(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "--days") {
        const auto today = ReadDay(std::string(BENCH_REAL_DATA) + "/wic20220810vsec");
        return today.size() == 86400 && MakeYear(argv[2], today, std::atoi(argv[3])) ? 0 : 1;
    }
    if (argc >= 3 && std::string(argv[1]) == "--convert") {
        TMOX_Diagram d;
        d.Convert(argv[2]);
        const Timing t = Fastest(argc >= 4 ? std::max(1, std::atoi(argv[3])) : 20, [&] { d.Convert(argv[2]); });
        std::printf("%.3f\n", t.cpu * 1e3);
        return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "--year")
        return MeasureYear(argv[2], argc >= 4 ? std::max(1, std::atoi(argv[3])) : 5);
    const std::string data = BENCH_REAL_DATA;
    const auto today = ReadDay(data + "/wic20220810vsec");
    const auto other = ReadDay(data + "/wic20230712vsec");
    if (today.size() != 86400 || other.size() != 86400) {
        std::fprintf(stderr, "mox-bench: the one-second days are missing in %s\n", data.c_str());
        return 1;
    }
    std::string folder;
    if (argc > 1) {
        folder = argv[1];
        fs::create_directories(folder);
    } else {
        char name[] = "/tmp/mox-bench-XXXXXX";
        if (!mkdtemp(name)) return 1;
        folder = name;
    }
    folder += "/";

    utsname un;
    uname(&un);
    std::printf("Machine: %s, %ld cores, %s %s; work folder %s\n\n", Cpu().c_str(), sysconf(_SC_NPROCESSORS_ONLN),
                un.sysname, un.release, folder.c_str());

    std::printf("`Convert`, input in the page cache, .mox and .log written and synced to disk. "
                "Processor time on one core, and wall time including the wait for the disk; "
                "MB = 10^6 bytes of input; memory = peak resident growth of a fresh process "
                "during one conversion.\n\n");
    std::printf("| Raw log | Lines | MB | CPU ms | Lines/s | MB/s | Wall ms | MB/s wall | Memory KB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    const std::vector<Variant> variants = {
        {"two sensors X Y, 1 line/s", "XY", 1},
        {"one sensor Z, 1 line/s", "Z", 1},
        {"one sensor without letter, 1 line/s", "", 1},
        {"two sensors X Y, 1 line/10 s", "XY", 10},
        {"one sensor without letter, 1 line/10 s", "", 10},
    };
    for (const Variant& v : variants) {
        long lines;
        const std::string text = MakeLog(today, 10, 8, 2022, v, lines);
        const std::string file = folder + "20220810.txt";
        Write(file, text);
        TMOX_Diagram d;
        d.Convert(file);  // warms the page cache
        const Timing t = Fastest(v.step == 1 ? 30 : 100, [&] { d.Convert(file); });
        const double mb = text.size() / 1e6;
        std::printf("| %s | %ld | %.2f | %.1f | %.0f | %.0f | %.1f | %.0f | %ld |\n", v.name, lines, mb, t.cpu * 1e3,
                    lines / t.cpu, mb / t.cpu, t.wall * 1e3, mb / t.wall, MemoryOfConversion(file));
    }

    // A day with the day before: the day before as a raw log only (converted on the way)
    // and as a day file already there.
    const Variant two = variants[0];
    long lines;
    Write(folder + "20220810.txt", MakeLog(today, 10, 8, 2022, two, lines));
    Write(folder + "20220809.txt", MakeLog(other, 9, 8, 2022, two, lines));
    TMOX_Diagram d;
    struct Case {
        const char* name;
        std::string file;
        bool removePrevious;
    };
    const std::vector<Case> cases = {
        {"raw log of the day, the day before as raw log only", folder + "20220810.txt", true},
        {"raw log of the day, the day before as .mox", folder + "20220810.txt", false},
        {".mox of the day, the day before as .mox", folder + "20220810.mox", false},
    };
    std::printf("\n`AutoLoad` with the day before (two sensors, 1 line/s):\n\n");
    std::printf("| Case | Curves loaded | CPU ms | Wall ms |\n|---|---:|---:|---:|\n");
    for (const Case& c : cases) {
        const Timing t = Fastest(20, [&] {
            if (c.removePrevious) fs::remove(folder + "20220809.mox");
            for (int k = 1; k <= 4; ++k) d.DelCurve(k);
            d.AutoLoad(c.file, true);
        });
        int loaded = 0;
        for (int k = 1; k <= 4; ++k) loaded += d.is_loaded(k);
        std::printf("| %s | %d | %.1f | %.1f |\n", c.name, loaded, t.cpu * 1e3, t.wall * 1e3);
    }

    if (argc <= 1) fs::remove_all(folder);
    return 0;
}
