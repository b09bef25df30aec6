// What the periodic batch writes onto the station's medium over a day: a station at one line a
// second, its batch every minute, run by the station's own runtime on a simulated device and
// clock, so a day takes minutes, not a day.
//
// The bytes are this process's counters in /proc/self/io, read around every batch:
//   wchar        bytes handed to write() and its kin (whatever the file system);
//   write_bytes  page-cache pages this process dirtied, 4 KiB each: what the kernel will
//                write to the medium as file data (the journal not included);
// and, for the whole run, the sectors written to the folder's block device (its
// /sys/dev/block/*/stat), which counts the journal and metadata too but also every other
// writer of that device: exact only on a device of its own, such as a loop device.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "mox/Mm.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/runtime/StationRuntime.h"

namespace {

struct IoCounters {
    unsigned long long wchar = 0, writeBytes = 0, cancelled = 0;
};

IoCounters ReadIo()
{
    IoCounters c;
    std::ifstream in("/proc/self/io");
    std::string key;
    unsigned long long value;
    while (in >> key >> value) {
        if (key == "wchar:") c.wchar = value;
        else if (key == "write_bytes:") c.writeBytes = value;
        else if (key == "cancelled_write_bytes:") c.cancelled = value;
    }
    return c;
}

void AddSince(IoCounters& sum, const IoCounters& before, const IoCounters& after)
{
    sum.wchar += after.wchar - before.wchar;
    sum.writeBytes += after.writeBytes - before.writeBytes;
    sum.cancelled += after.cancelled - before.cancelled;
}

// Sectors of 512 bytes written to the block device that holds `folder`; -1 when there is
// none to read (tmpfs, a device without statistics).
long long DeviceSectorsWritten(const std::string& folder)
{
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || major(st.st_dev) == 0) return -1;
    std::ifstream in("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
                     "/stat");
    long long field[7];
    for (long long& f : field)
        if (!(in >> f)) return -1;
    return field[6];
}

double ThreadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The simulated device: the runtime takes every line handed to Send.
class SimulatedPort : public LinePort {
public:
    void SetName(const std::string& n) override { name = n; }
    std::string Name() const override { return name; }
    bool Open() override { return open = true; }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    std::string LastError() const override { return {}; }
    void Send(const std::string& line)
    {
        if (open && OnLine) OnLine(line);
    }

private:
    std::string name;
    bool open = false;
};

// Two sensors, X and Y: a daily variation with some noise, the device's line form.
std::string DeviceLine(time_t t, long second)
{
    tm u;
    gmtime_r(&t, &u);
    const double day = second / 86400.0;
    const long x = std::lround(180.0 * std::sin(2 * M_PI * day) + 4.0 * std::sin(second * 0.37));
    const long y = std::lround(-120.0 * std::cos(2 * M_PI * day) + 3.0 * std::cos(second * 0.23));
    char line[64];
    std::snprintf(line, sizeof line, "%02d.%02d.%02d %02d:%02d:%02d: X, %5ld Y, %5ld", u.tm_mday, u.tm_mon + 1,
                  u.tm_year % 100, u.tm_hour, u.tm_min, u.tm_sec, x, y);
    return line;
}

std::string Megabytes(unsigned long long bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
    return text;
}

}  // namespace

const TCommandLine kCommandLine{
    "mox-bench-batch",
    "Usage: mox-bench-batch [FOLDER [MINUTES]]\n"
    "Runs the station's periodic batch once a simulated minute on a day log that grows by one\n"
    "line a second (default: a whole day, 1440 minutes, in a new folder below FOLDER, default\n"
    "/tmp) and prints the bytes the batch wrote, with the day logger's own beside them.\n",
    {},
    2};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    const std::string parent = argc > 1 ? argv[1] : "/tmp";
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 1440;
    if (minutes < 1) {
        std::fprintf(stderr, "mox-bench-batch: MINUTES must be a whole number above 0\n");
        return 2;
    }
    namespace fs = std::filesystem;
    if (!fs::is_directory(parent)) {
        std::fprintf(stderr, "mox-bench-batch: %s is no folder\n", parent.c_str());
        return 2;
    }
    const std::string root = parent + "/mox-bench-batch-" + std::to_string(getpid());
    const std::string data = root + "/data/", images = root + "/images/";
    fs::create_directories(data);
    fs::create_directories(images);
    // The templates of the demo's page, so that the page is written too.
    std::ofstream(images + "Header.txt") << "<!DOCTYPE html>\n<html><body><img src=\"mox_data.png\">\n"
                                            "<script>var werte =\n";
    std::ofstream(images + "Footer.txt") << ".split(\",\");</script>\n</body></html>\n";
    // The demo's batch: PNG, preview, WAP files and page every minute.
    std::ofstream(root + "/mox.ini") << "[Verzeichnisse]\nDatenverzeichnis=" << data << "\nBilder=" << images
                                     << "\n[COM-Port]\nPort=simuliert\n[Batch]\nIntervall=1\nBildformat=2\n"
                                        "Vorschau=1\nVortag=0\nWAP=1\nHTML=1\n";

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    UseStationFormats();
    TIniFile ini(root + "/mox.ini");
    TMOX_Diagram diagram;
    const StationSettings settings = ReadStationSettings(ini, diagram, true);
    auto ownedPort = std::make_unique<SimulatedPort>();
    SimulatedPort* port = ownedPort.get();
    ReportChannel reports;
    int problems = 0;  // a batch that fails measures nothing worth printing
    reports.AddSink([&problems](const Report& r) {
        if (r.Level > LogLevel::Warning || r.Text.empty()) return;
        std::fprintf(stderr, "%s\n", r.Text.c_str());
        ++problems;
    });
    const time_t dayStart = 1055635200;  // 15.06.03 00:00:00 UTC
    time_t wall = dayStart;
    double mono = 1000;
    StationRuntime runtime(ini, diagram, settings, std::move(ownedPort), reports,
                           RuntimeClock{[&mono] { return mono; }, [&wall] { return wall; }});
    runtime.Start(false);

    IoCounters batch, logger;
    double batchCpuMs = 0;
    const long long sectorsBefore = DeviceSectorsWritten(root);
    long second = 0;
    for (int minute = 0; minute < minutes; ++minute) {
        const IoCounters beforeLines = ReadIo();
        for (int s = 0; s < 60; ++s, ++second) {
            port->Send(DeviceLine(wall, second));
            if (second % 10 == 9) runtime.SyncLog();  // the station's sync timer
            ++wall;
            ++mono;
        }
        const IoCounters beforeBatch = ReadIo();
        AddSince(logger, beforeLines, beforeBatch);
        const double cpu = ThreadCpuMs();
        runtime.RunBatch();
        batchCpuMs += ThreadCpuMs() - cpu;
        AddSince(batch, beforeBatch, ReadIo());
    }
    // What is still dirty goes to the medium before the device is read again.
    sync();
    const long long sectorsAfter = DeviceSectorsWritten(root);
    const unsigned long long logBytes = fs::file_size(runtime.Logger().LogFileName());
    runtime.Stop();
    std::string published;
    for (const std::string& folder : {data, images})
        for (const fs::directory_entry& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind("mox_", 0) == 0)
                published += " " + e.path().filename().string() + " " + std::to_string(e.file_size());
    fs::remove_all(root);

    std::printf("Batch every minute for %d minutes at one line a second; day log %s MB at the end\n\n", minutes,
                Megabytes(logBytes).c_str());
    std::printf("| Writer | wchar MB | write_bytes MB | cancelled MB | wchar kB a batch | write_bytes kB a batch "
                "|\n|---|---:|---:|---:|---:|---:|\n");
    auto row = [minutes](const char* writer, const IoCounters& c) {
        std::printf("| %s | %s | %s | %s | %.1f | %.1f |\n", writer, Megabytes(c.wchar).c_str(),
                    Megabytes(c.writeBytes).c_str(), Megabytes(c.cancelled).c_str(), c.wchar / 1e3 / minutes,
                    c.writeBytes / 1e3 / minutes);
    };
    row("batch", batch);
    row("day logger", logger);
    std::printf("\nBatch CPU: %.1f ms a batch on average\n", batchCpuMs / minutes);
    std::printf("Published at the end (bytes):%s\n", published.c_str());
    if (sectorsBefore >= 0 && sectorsAfter >= 0)
        std::printf("Device of %s: %s MB written during the run (every writer of the device, journal included)\n",
                    parent.c_str(), Megabytes((unsigned long long)(sectorsAfter - sectorsBefore) * 512).c_str());
    if (problems > 0) std::fprintf(stderr, "mox-bench-batch: the batch reported %d problems\n", problems);
    return problems > 0 ? 1 : 0;
}
