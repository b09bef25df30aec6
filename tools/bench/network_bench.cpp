// Load on a station network: N simulated stations, each publishing one device line per second
// with its position (QoS 1, as a station beside an archive does), into one broker, one
// mox-collect and, as the floor, one bare mosquitto_sub on the same topic. Prints, per N, the
// stations really connected, the lines filed, the latency from publishing to the line being in
// the collector's day file (also for each station's first line, when all appear at once), the
// latency until the collector's acknowledgment reaches the station, the same latency to
// mosquitto_sub, and the CPU share of both.
//
//   mox-bench-network [SECONDS] [N ...]     (default: 20 s at N = 10, 100, 1000)
//
// libmosquitto takes three file descriptors per client, so the stations run in worker
// processes of their own. The broker needs one per station and the collector one per open day
// file, and both inherit this program's file limit: N is capped by it, and the cap is told.
#include <mosquitto.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "lines/NetProtocol.h"
#include "mox/rtl/CommandLine.h"
#include "tests/support/Broker.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace {

// Wall-clock time: mosquitto_sub stamps its messages with it, and all processes share it.
std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr double kWarmUpSeconds = 2;
constexpr std::size_t kStationsPerProcess = 5000;
// Stations whose lines are timed as they reach the archive (see ArchiveWatch).
constexpr std::size_t kWatchedStations = 1000;
// Files the broker and the collector need besides one per station.
constexpr rlim_t kFilesBesideStations = 80;

// A line by where it lands: station number, day (yyyymmdd) and index in that day's file.
struct LineKey {
    std::uint32_t station = 0, day = 0;
    std::uint64_t index = 0;
    bool operator==(const LineKey& o) const { return station == o.station && day == o.day && index == o.index; }
};

struct LineKeyHash {
    std::size_t operator()(const LineKey& k) const
    {
        return std::hash<std::uint64_t>()((std::uint64_t(k.station) << 32 | k.index) ^
                                          std::uint64_t(k.day) * 0x9e3779b97f4a7c15ULL);
    }
};

using Arrivals = std::unordered_map<LineKey, std::int64_t, LineKeyHash>;

// Each line a station sent, as its worker process saves it for the main process.
struct SentLine {
    LineKey key;
    std::int64_t sentNs = 0;
    std::int64_t ackedNs = 0;  // 0: no acknowledgment came
    std::uint32_t phase = 0;   // kFirst, kWarmUp or kMeasured
};
enum : std::uint32_t { kFirst, kWarmUp, kMeasured };

struct ProcessLoad {
    double cpuSeconds = 0;
    long rssKb = 0, peakKb = 0;
};

ProcessLoad LoadOf(int pid)
{
    ProcessLoad load;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        unsigned long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::stoul(field);
            if (i == 15) stime = std::stoul(field);
        }
        load.cpuSeconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) load.rssKb = std::stol(line.substr(6));
        if (line.rfind("VmHWM:", 0) == 0) load.peakKb = std::stol(line.substr(6));
    }
    return load;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one;
}

std::uint32_t DayOf(const std::tm& tm)
{
    return std::uint32_t((tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday);
}

// "S<number>" -> number; false for other names.
bool StationNumber(const std::string& name, std::uint32_t& number)
{
    if (name.size() < 2 || name[0] != 'S') return false;
    char* end = nullptr;
    number = std::uint32_t(std::strtoul(name.c_str() + 1, &end, 10));
    return *end == '\0';
}

// "yyyymmdd.txt" -> yyyymmdd; 0 for other names.
std::uint32_t DayOfFileName(const std::string& name)
{
    if (name.size() != 12 || name.compare(8, 4, ".txt") != 0) return 0;
    return std::uint32_t(std::strtoul(name.substr(0, 8).c_str(), nullptr, 10));
}

// Watches the archive and stamps each new line with the time it was seen in its day file: the
// lines of every `every`-th station, a sample spread over the second. Each watched write makes
// an inotify event, paid for by the collector's write; watching all of thousands of stations
// would burden the collector with a cost it has nowhere else.
class ArchiveWatch {
public:
    ArchiveWatch(std::string root, std::uint32_t every, std::size_t maxOpen)
        : root(std::move(root)), every(std::max<std::uint32_t>(1, every)), maxOpen(maxOpen)
    {
        fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        std::filesystem::create_directories(this->root);
        inotify_add_watch(fd, this->root.c_str(), IN_CREATE | IN_ONLYDIR);
        // Folders made before, for the stations' records.
        Rescan();
        thread = std::thread([this] { Run(); });
    }
    ~ArchiveWatch()
    {
        stop = true;
        thread.join();
        for (auto& [path, f] : files)
            if (f.fd >= 0) close(f.fd);
        close(fd);
    }

    // The lines seen so far, with when each was seen first.
    Arrivals Seen()
    {
        std::lock_guard<std::mutex> g(lock);
        return seen;
    }

private:
    struct File {
        int fd = -1;
        off_t offset = 0;
        std::uint64_t lines = 0;
        std::uint32_t station = 0, day = 0;
    };

    void AddStation(const std::string& name)
    {
        std::uint32_t number = 0;
        if (!StationNumber(name, number) || number % every != 0) return;
        const std::string dir = root + "/" + name;
        const int wd = inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MODIFY);
        if (wd < 0 || dirs.count(wd)) return;
        dirs[wd] = {dir, number};
        // Lines written before the watch began.
        std::error_code ec;
        for (const auto& f : std::filesystem::directory_iterator(dir, ec))
            ReadNew(dir, number, f.path().filename().string());
    }

    void ReadNew(const std::string& dir, std::uint32_t station, const std::string& name)
    {
        const std::uint32_t day = DayOfFileName(name);
        if (day == 0) return;
        const std::string path = dir + "/" + name;
        File& f = files[path];
        f.station = station;
        f.day = day;
        // Files beyond the bound are opened for each read, the others kept open.
        bool keep = true;
        if (f.fd < 0) {
            f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (f.fd < 0) return;
            keep = ++opened <= maxOpen;
        }
        char buf[64 * 1024];
        const std::int64_t now = NowNs();
        for (;;) {
            const ssize_t n = pread(f.fd, buf, sizeof buf, f.offset);
            if (n <= 0) break;
            const char* end = static_cast<const char*>(memrchr(buf, '\n', std::size_t(n)));
            if (!end) break;
            const std::uint64_t lines = std::uint64_t(std::count(static_cast<const char*>(buf), end + 1, '\n'));
            {
                std::lock_guard<std::mutex> g(lock);
                for (std::uint64_t i = 0; i < lines; ++i) seen.emplace(LineKey{station, day, f.lines + i}, now);
            }
            f.lines += lines;
            f.offset += end + 1 - buf;
        }
        if (!keep) {
            close(f.fd);
            f.fd = -1;
            --opened;
        }
    }

    // Events were lost: every file is read again from where it was left.
    void Rescan()
    {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(root, ec)) AddStation(e.path().filename().string());
        for (const auto& [wd, d] : dirs)
            for (const auto& f : std::filesystem::directory_iterator(d.first, ec))
                ReadNew(d.first, d.second, f.path().filename().string());
    }

    void Run()
    {
        alignas(inotify_event) char buf[256 * 1024];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            ssize_t n;
            while ((n = read(fd, buf, sizeof buf)) > 0) {
                bool overflow = false;
                for (char* at = buf; at < buf + n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(at);
                    at += sizeof(inotify_event) + ev->len;
                    if (ev->mask & IN_Q_OVERFLOW) {
                        overflow = true;
                        continue;
                    }
                    const std::string name = ev->len ? ev->name : "";
                    if (name.empty()) continue;
                    if (ev->mask & IN_ISDIR) {
                        AddStation(name);
                        continue;
                    }
                    const auto d = dirs.find(ev->wd);
                    if (d != dirs.end()) ReadNew(d->second.first, d->second.second, name);
                }
                if (overflow) Rescan();
            }
        }
    }

    std::string root;
    std::uint32_t every;
    std::size_t maxOpen;
    int fd = -1;
    std::map<int, std::pair<std::string, std::uint32_t>> dirs;
    std::unordered_map<std::string, File> files;
    std::size_t opened = 0;
    std::mutex lock;
    Arrivals seen;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// The lines each station's day files hold at the end: (station, day) -> lines.
std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint64_t> LinesIn(const std::string& root)
{
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint64_t> lines;
    std::error_code ec;
    for (const auto& d : std::filesystem::directory_iterator(root, ec)) {
        std::uint32_t station = 0;
        if (!StationNumber(d.path().filename().string(), station)) continue;
        for (const auto& f : std::filesystem::directory_iterator(d.path(), ec)) {
            const std::uint32_t day = DayOfFileName(f.path().filename().string());
            if (day == 0) continue;
            const std::string text = ReadBytes(f.path().string());
            lines[{station, day}] = std::uint64_t(std::count(text.begin(), text.end(), '\n'));
        }
    }
    return lines;
}

// A slice of the stations in a process of its own: one epoll loop over their connections, each
// station sending a line a second at its own phase and hearing the collector's
// acknowledgments. Talks with the main process by lines on two pipes.
class StationWorker {
public:
    StationWorker(std::uint32_t first, std::uint32_t count, std::uint32_t total, int port)
        : total(total), port(port), stations(count)
    {
        for (std::uint32_t i = 0; i < count; ++i) {
            stations[i].number = first + i;
            stations[i].worker = this;
        }
        ep = epoll_create1(EPOLL_CLOEXEC);
    }
    ~StationWorker()
    {
        for (Station& s : stations)
            if (s.m) mosquitto_destroy(s.m);
        close(ep);
    }

    // Connects every station and waits for the broker's answers; the stations it accepted.
    std::size_t Connect(int timeoutMs)
    {
        for (Station& s : stations) {
            const std::string id = "bench-" + std::to_string(s.number);
            s.m = mosquitto_new(id.c_str(), true, &s);
            if (!s.m) continue;
            s.topic = StationTopic("S" + std::to_string(s.number), "line");
            mosquitto_int_option(s.m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
            mosquitto_int_option(s.m, MOSQ_OPT_TCP_NODELAY, 1);  // as the station's publisher
            mosquitto_connect_callback_set(s.m, OnConnect);
            mosquitto_message_callback_set(s.m, OnMessage);
            if (mosquitto_connect(s.m, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS) {
                Drop(s);
                continue;
            }
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.ptr = &s;
            epoll_ctl(ep, EPOLL_CTL_ADD, mosquitto_socket(s.m), &ev);
            Pump(0);
        }
        const std::int64_t end = NowNs() + std::int64_t(timeoutMs) * 1000000;
        while (Answered() < Live() && NowNs() < end) Pump(50);
        for (Station& s : stations)
            if (s.m && !s.connected) Drop(s);
        return Live();
    }

    // Sends for warm-up plus `seconds` from `startNs`, then keeps hearing acknowledgments until
    // the main process says stop; reports its state on `reportFd` every 200 ms.
    void Run(std::int64_t startNs, double seconds, int controlFd, int reportFd)
    {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.ptr = nullptr;
        epoll_ctl(ep, EPOLL_CTL_ADD, controlFd, &ev);
        const double until = kWarmUpSeconds + seconds;
        std::size_t next = 0;
        long second = 0;
        bool sending = true, stop = false;
        std::int64_t lastMisc = NowNs(), lastReport = 0;
        while (!stop) {
            std::int64_t now = NowNs();
            while (sending) {
                const double at = double(second) + double(stations[next].number) / total;
                if (at >= until) {
                    sending = false;
                    break;
                }
                if (startNs + std::int64_t(at * 1e9) > now) break;
                if (stations[next].m)
                    Send(stations[next], second == 0 ? kFirst : at < kWarmUpSeconds ? kWarmUp : kMeasured);
                if (++next == stations.size()) {
                    next = 0;
                    ++second;
                }
                now = NowNs();
            }
            int timeout = 50;
            if (sending) {
                const double at = double(second) + double(stations[next].number) / total;
                // Rounded up: a wait of 0 ms until the next line would spin a core.
                const std::int64_t ns = startNs + std::int64_t(at * 1e9) - now;
                timeout = int(std::clamp<std::int64_t>((ns + 999999) / 1000000, 0, 5));
            }
            stop = Pump(timeout, controlFd);
            if (now - lastMisc > 500000000) {
                for (Station& s : stations)
                    if (s.m) mosquitto_loop_misc(s.m);
                lastMisc = now;
            }
            if (now - lastReport > 200000000) {
                dprintf(reportFd, "status %zu %zu %zu %zu %d\n", sent.size(), measured, unacknowledged, lost,
                        sending ? 0 : 1);
                lastReport = now;
            }
        }
    }

    bool Save(const std::string& file) const
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(sent.data()), std::streamsize(sent.size() * sizeof(SentLine)));
        return bool(out);
    }

private:
    struct Station {
        StationWorker* worker = nullptr;
        mosquitto* m = nullptr;
        std::uint32_t number = 0;
        std::string topic;
        std::uint64_t seq = 0, index = 0;
        std::uint32_t day = 0;
        bool connected = false, answered = false, writing = false;
        std::deque<std::pair<std::uint64_t, std::size_t>> waiting;  // seq, place in `sent`
    };

    static constexpr const char* kEpoch = "00000000000000b1";

    static void OnConnect(mosquitto* m, void* p, int rc)
    {
        auto& s = *static_cast<Station*>(p);
        s.answered = true;
        s.connected = rc == 0;
        if (!s.connected) return;
        // As a station does on connecting: its acknowledgments, and its record for the archive.
        const std::string name = "S" + std::to_string(s.number);
        mosquitto_subscribe(m, nullptr, StationTopic(name, "filed").c_str(), 1);
        const std::string record = "[MOX-Header]\r\nOrt=" + name + "\r\n";
        mosquitto_publish(m, nullptr, StationTopic(name, "record").c_str(), int(record.size()), record.data(), 1, true);
    }

    static void OnMessage(mosquitto*, void* p, const mosquitto_message* msg)
    {
        auto& s = *static_cast<Station*>(p);
        NetFiled filed;
        if (!ParseNetFiled(std::string(static_cast<const char*>(msg->payload), std::size_t(msg->payloadlen)), filed) ||
            filed.epoch != kEpoch)
            return;
        const std::int64_t now = NowNs();
        StationWorker& w = *s.worker;
        while (!s.waiting.empty() && s.waiting.front().first <= filed.seq) {
            SentLine& line = w.sent[s.waiting.front().second];
            line.ackedNs = now;
            if (line.phase == kMeasured) --w.unacknowledged;
            s.waiting.pop_front();
        }
    }

    void Send(Station& s, std::uint32_t phase)
    {
        const std::time_t t = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&t, &tm);
        if (DayOf(tm) != s.day) {
            s.day = DayOf(tm);
            s.index = 0;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%02d.%02d.%02d %02d:%02d:%02d: X,  %lu  Y,  %lu", tm.tm_mday, tm.tm_mon + 1,
                      tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec, 17000 + s.seq % 977, 300 + s.seq % 13);
        const std::string text = NetLineText({kEpoch, ++s.seq, s.index, line});
        sent.push_back({{s.number, s.day, s.index}, NowNs(), 0, phase});
        s.waiting.emplace_back(s.seq, sent.size() - 1);
        ++s.index;
        if (phase == kMeasured) {
            ++measured;
            ++unacknowledged;
        }
        if (mosquitto_publish(s.m, nullptr, s.topic.c_str(), int(text.size()), text.data(), 1, false) !=
            MOSQ_ERR_SUCCESS) {
            Drop(s);
            return;
        }
        Writing(s);
    }

    // Waits for the sockets; true when the main process said stop on `controlFd`.
    bool Pump(int timeoutMs, int controlFd = -1)
    {
        epoll_event events[256];
        const int n = epoll_wait(ep, events, 256, timeoutMs);
        bool stop = false;
        for (int i = 0; i < n; ++i) {
            auto* s = static_cast<Station*>(events[i].data.ptr);
            if (!s) {
                char buf[64];
                stop = read(controlFd, buf, sizeof buf) >= 0;
                continue;
            }
            if (!s->m) continue;
            if (events[i].events & (EPOLLIN | EPOLLERR | EPOLLHUP)) {
                if (mosquitto_loop_read(s->m, 1) != MOSQ_ERR_SUCCESS) {
                    Drop(*s);
                    continue;
                }
            }
            if (events[i].events & EPOLLOUT) mosquitto_loop_write(s->m, 1);
            Writing(*s);
        }
        return stop;
    }

    // Asks for room to write only while libmosquitto has something waiting.
    void Writing(Station& s)
    {
        if (!s.m) return;
        const bool want = mosquitto_want_write(s.m);
        if (want == s.writing) return;
        s.writing = want;
        epoll_event ev{};
        ev.events = EPOLLIN | (want ? EPOLLOUT : 0u);
        ev.data.ptr = &s;
        epoll_ctl(ep, EPOLL_CTL_MOD, mosquitto_socket(s.m), &ev);
    }

    void Drop(Station& s)
    {
        if (!s.m) return;
        if (mosquitto_socket(s.m) >= 0) epoll_ctl(ep, EPOLL_CTL_DEL, mosquitto_socket(s.m), nullptr);
        if (s.connected) ++lost;
        mosquitto_destroy(s.m);
        s.m = nullptr;
        s.connected = false;
    }

    std::size_t Live() const
    {
        return std::size_t(std::count_if(stations.begin(), stations.end(), [](const Station& s) { return s.m; }));
    }
    std::size_t Answered() const
    {
        return std::size_t(
            std::count_if(stations.begin(), stations.end(), [](const Station& s) { return s.m && s.answered; }));
    }

    std::uint32_t total;
    int port;
    int ep = -1;
    std::vector<Station> stations;
    std::vector<SentLine> sent;
    std::size_t measured = 0, unacknowledged = 0, lost = 0;
};

// A worker process as the main process sees it: its pipes and what it last reported.
struct Worker {
    pid_t pid = -1;
    int report = -1, control = -1;
    std::string buffer, file;
    std::size_t connected = 0, sent = 0, measured = 0, unacknowledged = 0, lost = 0;
    bool answered = false, finished = false;  // finished: sent its last line

    // Reads what the worker wrote; false once it closed its end.
    bool Read()
    {
        char buf[4096];
        const ssize_t n = read(report, buf, sizeof buf);
        if (n <= 0) return false;
        buffer.append(buf, std::size_t(n));
        for (std::size_t eol; (eol = buffer.find('\n')) != std::string::npos; buffer.erase(0, eol + 1)) {
            std::istringstream line(buffer.substr(0, eol));
            std::string word;
            line >> word;
            if (word == "connected") {
                line >> connected;
                answered = true;
            } else if (word == "status") {
                line >> sent >> measured >> unacknowledged >> lost >> finished;
            }
        }
        return true;
    }
};

Worker StartWorker(std::uint32_t first, std::uint32_t count, std::uint32_t total, int port, const std::string& file)
{
    Worker w;
    w.file = file;
    int report[2], control[2];
    if (pipe2(report, O_CLOEXEC) != 0 || pipe2(control, O_CLOEXEC) != 0) return w;
    std::fflush(nullptr);
    w.pid = fork();
    if (w.pid == 0) {
        close(report[0]);
        close(control[1]);
        mosquitto_lib_init();
        StationWorker stations(first, count, total, port);
        dprintf(report[1], "connected %zu\n", stations.Connect(30000 + int(count) * 10));
        std::string go;
        char c;
        while (read(control[0], &c, 1) == 1 && c != '\n') go += c;
        long long startNs = 0;
        double seconds = 0;
        if (std::sscanf(go.c_str(), "go %lld %lf", &startNs, &seconds) == 2)
            stations.Run(startNs, seconds, control[0], report[1]);
        _exit(stations.Save(file) ? 0 : 1);
    }
    close(report[1]);
    close(control[0]);
    w.report = report[0];
    w.control = control[1];
    return w;
}

// Reads the workers' reports for up to `timeoutMs`.
void Hear(std::vector<Worker>& workers, int timeoutMs)
{
    std::vector<pollfd> fds;
    for (const Worker& w : workers) fds.push_back({w.report, POLLIN, 0});
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents & (POLLIN | POLLHUP)) workers[i].Read();
}

// A bare subscriber on the same broker and topic as the collector, QoS 1 as well, stamping
// each message on arrival: what any MQTT client pays for the same lines.
class BareSubscriber {
public:
    BareSubscriber(int port, const std::string& dir) : file(dir + "/floor.txt")
    {
        const std::string program = FindProgram("mosquitto_sub");
        if (program.empty()) return;
        process = std::make_unique<ChildProcess>(
            std::vector<std::string>{program, "-h", "127.0.0.1", "-p", std::to_string(port), "-q", "1", "-t",
                                     "mox/+/line", "-i", "bench-floor", "-F", "%U %t %p"},
            file, std::vector<std::string>{"TZ=UTC"});  // else the C library looks at /etc/localtime per message
        started = process->Started();
    }

    bool Started() const { return started; }
    int Pid() const { return process ? process->Pid() : -1; }
    void Stop()
    {
        if (process) process->Stop(SIGTERM);
    }

    // Each line received, with when it arrived.
    Arrivals Received() const
    {
        Arrivals got;
        std::ifstream in(file);
        std::string text;
        while (std::getline(in, text)) {
            // <seconds>.<nanoseconds> mox/S<n>/line <epoch> <seq> <index> dd.mm.yy ...
            long long sec = 0, nsec = 0;
            char topic[64];
            unsigned long long seq = 0, index = 0;
            char epoch[32];
            int dd = 0, mm = 0, yy = 0;
            if (std::sscanf(text.c_str(), "%lld.%lld %63s %31s %llu %llu %d.%d.%d", &sec, &nsec, topic, epoch, &seq,
                            &index, &dd, &mm, &yy) != 9)
                continue;
            const std::string name = StationOfTopic(topic, "line");
            std::uint32_t number = 0;
            if (!StationNumber(name, number)) continue;
            got.emplace(LineKey{number, std::uint32_t((2000 + yy) * 10000 + mm * 100 + dd), index},
                        sec * 1000000000LL + nsec);
        }
        return got;
    }

private:
    static std::string FindProgram(const std::string& name)
    {
        const char* path = std::getenv("PATH");
        std::istringstream dirs(path ? path : "/usr/bin:/bin");
        std::string dir;
        while (std::getline(dirs, dir, ':'))
            if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
        return "";
    }

    std::string file;
    std::unique_ptr<ChildProcess> process;
    bool started = false;
};

// A line that never arrived counts as infinitely late.
constexpr double kNever = std::numeric_limits<double>::infinity();

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) return kNever;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

// The mosquitto broker started for the run folder `dir`, found by its configuration file.
int BrokerPid(const std::string& dir)
{
    const std::string conf = dir + "/broker/mosquitto.conf";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string cmdline = ReadBytes(e.path().string() + "/cmdline");
        if (cmdline.find(conf) != std::string::npos && cmdline.rfind("/usr/sbin/mosquitto", 0) == 0)
            return std::atoi(e.path().filename().c_str());
    }
    return -1;
}

// The file limit raised as far as allowed; the number of files a process may have open.
rlim_t RaiseFileLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur;
}

std::vector<SentLine> ReadSent(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<SentLine> lines(bytes.size() / sizeof(SentLine));
    std::memcpy(lines.data(), bytes.data(), lines.size() * sizeof(SentLine));
    return lines;
}

// A figure with one decimal; "–" where it was not measured, "never" where the lines did not
// arrive while the run waited for them.
std::string Figure(double v, bool measured = true)
{
    if (!measured) return "–";
    if (v == kNever) return "never";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench-network",
                                "Usage: mox-bench-network [SECONDS [N...]]\n"
                                "N simulated stations publishing one line per second into one broker,\n"
                                "one mox-collect and one mosquitto_sub as the floor (default: 20 s at\n"
                                "N = 10, 100, 1000). N is capped by the file limit; the row says how\n"
                                "many stations really connected.\n",
                                {},
                                64};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    double seconds = 20;
    std::vector<int> counts;
    if (argc > 1) seconds = std::atof(argv[1]);
    for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {10, 100, 1000};
    if (seconds <= 0 || std::any_of(counts.begin(), counts.end(), [](int n) { return n < 1; })) {
        std::fprintf(stderr, "usage: mox-bench-network [SECONDS] [N ...]\n");
        return 2;
    }
    const rlim_t files = RaiseFileLimit();
    const std::size_t capacity = files > kFilesBesideStations ? std::size_t(files - kFilesBesideStations) : 1;
    const std::size_t perProcess =
        std::max<std::size_t>(1, std::min<std::size_t>(kStationsPerProcess, (files - 32) / 3));
    mosquitto_lib_init();
    const std::string base =
        (std::filesystem::temp_directory_path() / ("mox-bench-network-" + std::to_string(getpid()))).string();

    std::printf("| Stations | Lines published | Lines filed | Lines/s filed | Latency median ms | p99 ms | max ms | "
                "First lines p99 ms | max ms | Acknowledged median ms | p99 ms | Collector CPU %% | "
                "mosquitto_sub median ms | p99 ms | mosquitto_sub CPU %% | Broker CPU %% | Stations CPU %% | "
                "Collector RSS KB | Collector peak KB | Load |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
                "\n");
    std::fflush(stdout);
    for (const int asked : counts) {
        std::size_t n = std::size_t(asked);
        if (n > capacity) {
            std::fprintf(stderr,
                         "mox-bench-network: %d stations asked; with %llu files a process (RLIMIT_NOFILE) the broker "
                         "and the collector hold %zu\n",
                         asked, static_cast<unsigned long long>(files), capacity);
            n = capacity;
        }
        const std::string dir = base + "/n" + std::to_string(n), root = dir + "/archive";
        std::filesystem::create_directories(dir);
        {
            std::ofstream list(dir + "/stations");
            for (std::size_t i = 0; i < n; ++i) list << 'S' << i << '\n';
        }
        TestBroker broker(dir + "/broker");
        if (!broker.Running()) {
            std::fprintf(stderr, "mox-bench-network: no broker\n");
            return 1;
        }
        ChildProcess collect({MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                              std::to_string(broker.Port()), "--root", root, "--id", "bench-archive", "--stations",
                              dir + "/stations"},
                             dir + "/collect.log");
        // Lines published before the collector subscribed would be gaps the simulated stations
        // never fill.
        WaitFor([&] { return ReadBytes(dir + "/collect.log").find("verbunden") != std::string::npos; }, 20000);
        BareSubscriber bare(broker.Port(), dir);
        if (bare.Started())
            WaitFor([&] { return ReadBytes(dir + "/broker/mosquitto.log").find("bench-floor") != std::string::npos; },
                    10000);
        else std::fprintf(stderr, "mox-bench-network: mosquitto_sub not found; no floor\n");

        std::vector<Worker> workers;
        for (std::size_t first = 0; first < n; first += perProcess) {
            const std::size_t count = std::min(perProcess, n - first);
            workers.push_back(StartWorker(std::uint32_t(first), std::uint32_t(count), std::uint32_t(n), broker.Port(),
                                          dir + "/sent-" + std::to_string(workers.size())));
            if (workers.back().pid < 0) {
                std::fprintf(stderr, "mox-bench-network: no worker process\n");
                return 1;
            }
        }
        while (std::any_of(workers.begin(), workers.end(), [](const Worker& w) { return !w.answered; }))
            Hear(workers, 1000);
        std::size_t connected = 0;
        for (const Worker& w : workers) connected += w.connected;
        if (connected < n) std::fprintf(stderr, "mox-bench-network: %zu of %zu stations connected\n", connected, n);

        const std::uint32_t every = std::uint32_t((connected + kWatchedStations - 1) / kWatchedStations);
        std::optional<ArchiveWatch> watch(std::in_place, root, every, files > 400 ? std::size_t(files - 200) : 100);
        const std::int64_t start = NowNs() + 200000000;
        for (const Worker& w : workers) dprintf(w.control, "go %lld %f\n", static_cast<long long>(start), seconds);
        const std::int64_t measureFrom = start + std::int64_t(kWarmUpSeconds * 1e9);
        const std::int64_t sendingEnds = measureFrom + std::int64_t(seconds * 1e9);
        while (NowNs() < measureFrom) Hear(workers, 50);
        const int brokerPid = BrokerPid(dir);
        const auto stationsCpu = [&] {
            double cpu = 0;
            for (const Worker& w : workers) cpu += LoadOf(w.pid).cpuSeconds;
            return cpu;
        };
        const ProcessLoad collectBefore = LoadOf(collect.Pid());
        const ProcessLoad floorBefore = bare.Started() ? LoadOf(bare.Pid()) : ProcessLoad{};
        const ProcessLoad brokerBefore = LoadOf(brokerPid);
        const double stationsBefore = stationsCpu();
        while (NowNs() < sendingEnds) Hear(workers, 50);
        // Until every line is filed and acknowledged, at most 10 s.
        const auto settled = [&] {
            std::size_t open = 0;
            bool finished = true;
            for (const Worker& w : workers) {
                open += w.unacknowledged;
                finished = finished && w.finished;
            }
            return finished && open == 0;
        };
        for (const std::int64_t end = NowNs() + 10000000000LL; NowNs() < end && !settled();) Hear(workers, 50);
        // An acknowledged line is in its file; the watch may see it a moment later.
        for (const std::int64_t end = NowNs() + 300000000; NowNs() < end;) Hear(workers, 50);
        const double wall = double(NowNs() - measureFrom) / 1e9;
        const ProcessLoad collectAfter = LoadOf(collect.Pid());
        const ProcessLoad floorAfter = bare.Started() ? LoadOf(bare.Pid()) : ProcessLoad{};
        const ProcessLoad brokerAfter = LoadOf(brokerPid);
        const double stationsAfter = stationsCpu();
        const std::string load = LoadAverage();
        for (Worker& w : workers) {
            dprintf(w.control, "stop\n");
            close(w.control);
        }
        std::size_t lost = 0;
        for (Worker& w : workers) {
            while (w.Read()) {}
            lost += w.lost;
            close(w.report);
            waitpid(w.pid, nullptr, 0);
        }
        if (lost > 0) std::fprintf(stderr, "mox-bench-network: %zu stations lost their connection\n", lost);
        const Arrivals filedAt = watch->Seen();
        watch.reset();
        const auto held = LinesIn(root);
        collect.Stop(SIGTERM);
        bare.Stop();
        const Arrivals floorAt = bare.Received();
        broker.Stop();

        std::vector<double> lat, first, ack, floorLat;
        std::size_t published = 0, filed = 0;
        for (const Worker& w : workers)
            for (const SentLine& s : ReadSent(w.file)) {
                const auto at = filedAt.find(s.key);
                const double ms = at == filedAt.end() ? kNever : double(at->second - s.sentNs) / 1e6;
                const bool watched = s.key.station % every == 0;
                if (s.phase == kFirst && watched) first.push_back(ms);
                if (s.phase != kMeasured) continue;
                ++published;
                const auto inFile = held.find({s.key.station, s.key.day});
                filed += inFile != held.end() && s.key.index < inFile->second;
                if (watched) lat.push_back(ms);
                ack.push_back(s.ackedNs > 0 ? double(s.ackedNs - s.sentNs) / 1e6 : kNever);
                const auto got = floorAt.find(s.key);
                floorLat.push_back(got == floorAt.end() ? kNever : double(got->second - s.sentNs) / 1e6);
            }
        const auto share = [wall](double before, double after) { return Figure(100.0 * (after - before) / wall); };
        std::printf("| %zu | %zu | %zu | %.0f | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %ld | "
                    "%ld | %s |\n",
                    connected, published, filed, double(filed) / wall, Figure(Percentile(lat, 0.5)).c_str(),
                    Figure(Percentile(lat, 0.99)).c_str(), Figure(Percentile(lat, 1.0)).c_str(),
                    Figure(Percentile(first, 0.99)).c_str(), Figure(Percentile(first, 1.0)).c_str(),
                    Figure(Percentile(ack, 0.5)).c_str(), Figure(Percentile(ack, 0.99)).c_str(),
                    share(collectBefore.cpuSeconds, collectAfter.cpuSeconds).c_str(),
                    Figure(Percentile(floorLat, 0.5), bare.Started()).c_str(),
                    Figure(Percentile(floorLat, 0.99), bare.Started()).c_str(),
                    bare.Started() ? share(floorBefore.cpuSeconds, floorAfter.cpuSeconds).c_str() : "–",
                    share(brokerBefore.cpuSeconds, brokerAfter.cpuSeconds).c_str(),
                    share(stationsBefore, stationsAfter).c_str(), collectAfter.rssKb, collectAfter.peakKb,
                    load.c_str());
        std::fflush(stdout);
    }
    std::filesystem::remove_all(base);
    return 0;
}
