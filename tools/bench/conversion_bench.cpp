// mox-bench: speed and memory of the raw log conversion and of loading a day with the day
// before, on raw logs made from real one-second observatory data, each beside its floor: the
// processor time of reading the same file and of a bare split of it into lines.
//
// Prints Markdown tables; docs/benchmarks.md keeps a copy of their output. The forms of the
// command line are in kCommandLine below.
#include <fcntl.h>
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

// The floor of any conversion: the file read in the blocks the converter reads it in, and,
// with `split`, cut into lines by a bare search for line ends. Returns the lines (or bytes).
long ReadLines(const std::string& file, bool split)
{
    static std::vector<char> block(1 << 20);
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    long count = 0;
    ssize_t n;
    while ((n = read(fd, block.data(), block.size())) > 0) {
        if (!split) {
            count += n;
            continue;
        }
        const char* at = block.data();
        const char* const end = at + n;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at))))) {
            ++count;
            ++at;
        }
    }
    close(fd);
    return count;
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

int MeasureYear(const std::string& folder, int days, int runs)
{
    namespace fs = std::filesystem;
    const auto today = ReadDay(std::string(BENCH_REAL_DATA) + "/wic20220810vsec");
    if (today.size() != 86400 || !MakeYear(folder, today, days)) {
        std::fprintf(stderr, "mox-bench: cannot make the days in %s\n", folder.c_str());
        return 1;
    }
    std::uintmax_t bytes = 0;
    int logs = 0;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".txt") {
            bytes += e.file_size();
            ++logs;
        }
    const auto clean = [&] {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".mox" || e.path().extension() == ".log") fs::remove(e.path());
    };
    const std::string logFiles = "'" + folder + "'/*.txt";
    // Settings of its own: the user's could change the work, and a placeholder station record
    // would be told on every run.
    const std::string ini = folder + "/mox-bench.ini";
    Write(ini, "[MOX-Header]\r\nAutor=Benchmark\r\nOrt=Benchmark\r\n");
    const std::string settings = "MOX_INI='" + ini + "' ";
    const std::string convert = std::string("'") + MOX_CONVERT + "' auto '" + folder + "' >/dev/null";
    struct Case {
        std::string name;
        std::string command;
        bool converts;
    } cases[] = {
        // The floors: reading every log once (which also warms the page cache), and a bare
        // split of them into lines.
        {"floor: `cat` of the logs", "cat " + logFiles + " >/dev/null", false},
        {"floor: line split of the logs (`awk 'END { print NR }'`)",
         "awk 'END { print NR }' " + logFiles + " >/dev/null", false},
        {"`MOX_Convert auto`, all cores", settings + convert, true},
        {"`MOX_Convert auto`, one core (`taskset -c 0`)", settings + "taskset -c 0 " + convert, true},
    };
    std::printf("%d days of one-second logs (two sensors X Y, %.0f MB) in %s, input in the page cache, "
                "%d runs:\n\n",
                logs, bytes / 1e6, folder.c_str(), runs);
    std::printf("| Command | Best s | Median s | MB/s | CPU s (best) |\n|---|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        std::vector<double> times;
        double bestCpu = 1e9;
        for (int i = 0; i < runs; ++i) {
            if (c.converts) clean();
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
        std::printf("| %s | %.2f | %.2f | %.0f | %.2f |\n", c.name.c_str(), times.front(), times[times.size() / 2],
                    bytes / 1e6 / times.front(), bestCpu);
    }
    return 0;
}

// The best processor milliseconds of Convert on a file and of the line split floor.
int MeasureConvert(const std::string& file, int runs)
{
    if (ReadLines(file, true) < 0) {
        std::fprintf(stderr, "mox-bench: cannot read %s\n", file.c_str());
        return 1;
    }
    TMOX_Diagram d;
    d.Convert(file);
    const Timing convert = Fastest(runs, [&] { d.Convert(file); });
    const Timing split = Fastest(runs, [&] { ReadLines(file, true); });
    std::printf("%.3f %.3f\n", convert.cpu * 1e3, split.cpu * 1e3);
    return 0;
}

int MeasureDays(std::string folder, int runs)
{
    namespace fs = std::filesystem;
    const std::string data = BENCH_REAL_DATA;
    const auto today = ReadDay(data + "/wic20220810vsec");
    const auto other = ReadDay(data + "/wic20230712vsec");
    if (today.size() != 86400 || other.size() != 86400) {
        std::fprintf(stderr, "mox-bench: the one-second days are missing in %s\n", data.c_str());
        return 1;
    }
    const bool temporary = folder.empty();
    if (temporary) {
        char name[] = "/tmp/mox-bench-XXXXXX";
        if (!mkdtemp(name)) return 1;
        folder = name;
    } else {
        fs::create_directories(folder);
    }
    folder += "/";

    utsname un;
    uname(&un);
    std::printf("Machine: %s, %ld cores, %s %s; work folder %s\n\n", Cpu().c_str(), sysconf(_SC_NPROCESSORS_ONLN),
                un.sysname, un.release, folder.c_str());

    std::printf("`Convert`, input in the page cache, .mox and .log written and synced to disk. "
                "Processor time on one core, and wall time including the wait for the disk; "
                "MB = 10^6 bytes of input; memory = peak resident growth of a fresh process "
                "during one conversion. Floors, processor time of the same file in the same "
                "1 MiB blocks: read = reading it, split = reading it and finding every line end.\n\n");
    std::printf("| Raw log | Lines | MB | CPU ms | Floor: read CPU ms | Floor: split CPU ms | Lines/s | MB/s | Wall ms "
                "| MB/s wall | Memory KB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
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
        ReadLines(file, true);
        const int n = runs > 0 ? runs : v.step == 1 ? 30 : 100;
        const Timing t = Fastest(n, [&] { d.Convert(file); });
        const Timing read = Fastest(n, [&] { ReadLines(file, false); });
        const Timing split = Fastest(n, [&] { ReadLines(file, true); });
        const double mb = text.size() / 1e6;
        std::printf("| %s | %ld | %.2f | %.1f | %.2f | %.2f | %.0f | %.0f | %.1f | %.0f | %ld |\n", v.name, lines, mb,
                    t.cpu * 1e3, read.cpu * 1e3, split.cpu * 1e3, lines / t.cpu, mb / t.cpu, t.wall * 1e3, mb / t.wall,
                    MemoryOfConversion(file));
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
        const Timing t = Fastest(runs > 0 ? runs : 20, [&] {
            if (c.removePrevious) fs::remove(folder + "20220809.mox");
            for (int k = 1; k <= 4; ++k) d.DelCurve(k);
            d.AutoLoad(c.file, true);
        });
        int loaded = 0;
        for (int k = 1; k <= 4; ++k) loaded += d.is_loaded(k);
        std::printf("| %s | %d | %.1f | %.1f |\n", c.name, loaded, t.cpu * 1e3, t.wall * 1e3);
    }

    if (temporary) fs::remove_all(folder);
    return 0;
}

}  // namespace

const TCommandLine kCommandLine{
    "mox-bench",
    "Usage: mox-bench [--runs N] [FOLDER]\n"
    "       mox-bench --convert FILE [--runs N]\n"
    "       mox-bench --logs FOLDER [--days N]\n"
    "       mox-bench --year FOLDER [--days N] [--runs N]\n"
    "Measures the conversion of raw logs and the loading of days, each beside the time of\n"
    "reading and of splitting the same file into lines, and prints the tables of\n"
    "docs/benchmarks.md; FOLDER is kept (default: a temporary one).\n"
    "  --runs N        calls per figure, the fastest counts (default 30, 100 at one line in\n"
    "                  10 s, 20 for loading; with --convert 20; with --year 3 processes)\n"
    "  --convert FILE  prints the best processor milliseconds of converting FILE and of\n"
    "                  splitting it into lines\n"
    "  --logs FOLDER   only makes raw logs of the first N days of 2022 (two sensors, one line\n"
    "                  a second) in FOLDER, where they are not there yet\n"
    "  --year FOLDER   makes those logs, then times `MOX_Convert auto FOLDER` on all cores and\n"
    "                  on one core, beside `cat` and a line split of the logs\n"
    "  --days N        days for --logs and --year (default 365)\n"
    "  --memory FILE   peak memory of one conversion of FILE, in KB\n",
    {{"--runs", true}, {"--convert", true}, {"--logs", true}, {"--year", true}, {"--days", true}, {"--memory", true}},
    1};

int main(int argc, char** argv)
{
    TCommandLineWords words;
    if (const int rc = ParseCommandLine(kCommandLine, argc, argv, words); rc >= 0) return rc;
    const auto number = [&](const char* option, int otherwise, int& value) {
        if (!words.Has(option)) {
            value = otherwise;
            return true;
        }
        return TryStrToInt(words.Value(option), value) && value > 0;
    };
    int runs, days;
    if (!number("--runs", 0, runs)) return CommandLineError(kCommandLine, "--runs braucht eine Zahl über 0");
    if (!number("--days", 365, days) || days > 3650)
        return CommandLineError(kCommandLine, "--days braucht eine Zahl von 1 bis 3650");
    int modes = 0;
    for (const char* mode : {"--convert", "--logs", "--year", "--memory"}) modes += words.Has(mode);
    if (modes > 1 || (modes == 1 && !words.Arguments.empty()))
        return CommandLineError(kCommandLine, "--convert, --logs, --year, --memory und FOLDER schließen sich aus");
    if (words.Has("--days") && !words.Has("--logs") && !words.Has("--year"))
        return CommandLineError(kCommandLine, "--days gilt nur mit --logs oder --year");
    if (words.Has("--memory")) return MeasureMemory(words.Value("--memory"));
    if (words.Has("--convert")) return MeasureConvert(words.Value("--convert"), runs > 0 ? runs : 20);
    if (words.Has("--logs")) {
        const auto today = ReadDay(std::string(BENCH_REAL_DATA) + "/wic20220810vsec");
        return today.size() == 86400 && MakeYear(words.Value("--logs"), today, days) ? 0 : 1;
    }
    if (words.Has("--year")) return MeasureYear(words.Value("--year"), days, runs > 0 ? runs : 3);
    return MeasureDays(words.Arguments.empty() ? "" : words.Arguments[0], runs);
}
