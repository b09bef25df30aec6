// Load on a station network: N simulated stations, each publishing one device line per second
// with its position (QoS 1, as a station beside an archive does), into one broker and one
// mox-collect. Prints, per N, the lines per second filed, the latency from publishing to the
// line being in the collector's day file, the latency until the collector's acknowledgment
// reaches the station, and the collector's CPU share and memory.
//
//   mox-bench-network [SECONDS] [N ...]     (default: 20 s at N = 10, 100, 1000)
#include <mosquitto.h>
#include <poll.h>
#include <sys/inotify.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
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

using Clock = std::chrono::steady_clock;

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

// Watches the archive and takes each new line's latency from the time it was published.
class ArchiveWatch {
public:
    explicit ArchiveWatch(std::string root) : root(std::move(root))
    {
        fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        std::filesystem::create_directories(this->root);
        Watch(this->root);
        thread = std::thread([this] { Run(); });
    }
    ~ArchiveWatch()
    {
        stop = true;
        thread.join();
        close(fd);
    }

    void Sent(const std::string& station, const std::string& line, Clock::time_point at)
    {
        std::lock_guard<std::mutex> g(lock);
        sent[station + "|" + line] = at;
    }
    std::vector<double> TakeLatencies()
    {
        std::lock_guard<std::mutex> g(lock);
        return std::move(latencies);
    }
    std::size_t Filed() const { return filed.load(); }

private:
    void Watch(const std::string& dir)
    {
        const int wd = inotify_add_watch(fd, dir.c_str(), IN_CREATE | IN_MODIFY);
        if (wd >= 0) dirs[wd] = dir;
    }

    void ReadNew(const std::string& dir, const std::string& file)
    {
        const std::string path = dir + "/" + file;
        std::ifstream in(path, std::ios::binary);
        std::size_t& offset = offsets[path];
        in.seekg(std::streamoff(offset));
        std::string chunk((std::istreambuf_iterator<char>(in)), {});
        const std::size_t end = chunk.rfind('\n');
        if (end == std::string::npos) return;
        chunk.resize(end + 1);
        offset += chunk.size();
        const auto now = Clock::now();
        const std::string station = std::filesystem::path(dir).filename().string();
        std::lock_guard<std::mutex> g(lock);
        std::size_t at = 0;
        while (at < chunk.size()) {
            const std::size_t eol = chunk.find("\r\n", at);
            const auto it = sent.find(station + "|" + chunk.substr(at, eol - at));
            if (it != sent.end()) {
                latencies.push_back(std::chrono::duration<double, std::milli>(now - it->second).count());
                sent.erase(it);
            }
            ++filed;
            at = eol + 2;
        }
    }

    void Run()
    {
        alignas(inotify_event) char buf[64 * 1024];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            ssize_t n;
            while ((n = read(fd, buf, sizeof buf)) > 0) {
                for (char* at = buf; at < buf + n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(at);
                    const std::string dir = dirs[ev->wd];
                    const std::string name = ev->len ? ev->name : "";
                    if ((ev->mask & IN_CREATE) && (ev->mask & IN_ISDIR)) {
                        Watch(dir + "/" + name);
                        // Lines written before the watch began.
                        for (const auto& f : std::filesystem::directory_iterator(dir + "/" + name))
                            ReadNew(dir + "/" + name, f.path().filename().string());
                    } else if (!name.empty() && !(ev->mask & IN_ISDIR)) {
                        ReadNew(dir, name);
                    }
                    at += sizeof(inotify_event) + ev->len;
                }
            }
        }
    }

    std::string root;
    int fd = -1;
    std::map<int, std::string> dirs;
    std::map<std::string, std::size_t> offsets;
    std::mutex lock;
    std::unordered_map<std::string, Clock::time_point> sent;
    std::vector<double> latencies;
    std::atomic<std::size_t> filed{0};
    std::atomic<bool> stop{false};
    std::thread thread;
};

// N station clients driven by one poll loop, each sending a line a second at its own phase and
// hearing the collector's acknowledgments.
class Stations {
public:
    Stations(int n, int port, ArchiveWatch& watch) : watch(watch)
    {
        for (int i = 0; i < n; ++i) {
            auto c = std::make_unique<Client>();
            c->station = "S" + std::to_string(i);
            c->phase = double(i) / n;
            c->epoch = "00000000000000b1";
            mosquitto* m = mosquitto_new(("bench-" + std::to_string(i)).c_str(), true, c.get());
            mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);  // as the station's publisher
            mosquitto_message_callback_set(m, OnMessage);
            if (mosquitto_connect(m, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS) {
                std::fprintf(stderr, "station %d: no connection\n", i);
                mosquitto_destroy(m);
                continue;
            }
            mosquitto_subscribe(m, nullptr, StationTopic(c->station, "filed").c_str(), 1);
            c->m = m;
            clients.push_back(std::move(c));
        }
    }
    ~Stations()
    {
        for (auto& c : clients) {
            mosquitto_disconnect(c->m);
            mosquitto_destroy(c->m);
        }
    }

    // Runs for `seconds`; returns the lines published.
    std::size_t Run(double seconds)
    {
        const auto start = Clock::now();
        std::size_t published = 0;
        std::vector<long> nextSecond(clients.size(), 0);
        auto lastMisc = start;
        while (true) {
            const auto now = Clock::now();
            const double t = std::chrono::duration<double>(now - start).count();
            if (t >= seconds) break;
            for (std::size_t i = 0; i < clients.size(); ++i) {
                auto& c = *clients[i];
                if (t < double(nextSecond[i]) + c.phase) continue;
                const std::string line = LineNow(c.seq);
                const std::string text = NetLineText({c.epoch, std::uint64_t(++c.seq), c.index++, line});
                const auto at = Clock::now();
                watch.Sent(c.station, line, at);
                c.sent[std::uint64_t(c.seq)] = at;
                mosquitto_publish(c.m, nullptr, StationTopic(c.station, "line").c_str(), int(text.size()), text.data(),
                                  1, false);
                ++nextSecond[i];
                ++published;
            }
            Pump(5);
            if (now - lastMisc > std::chrono::milliseconds(500)) {
                for (auto& c : clients) mosquitto_loop_misc(c->m);
                lastMisc = now;
            }
        }
        return published;
    }

    // Lets the acknowledgments come in.
    void Pump(int timeoutMs)
    {
        std::vector<pollfd> fds;
        for (auto& c : clients) {
            const short events = short(POLLIN | (mosquitto_want_write(c->m) ? POLLOUT : 0));
            fds.push_back({mosquitto_socket(c->m), events, 0});
        }
        if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents & POLLIN) mosquitto_loop_read(clients[i]->m, 1);
            if (fds[i].revents & POLLOUT) mosquitto_loop_write(clients[i]->m, 1);
        }
    }

    // Publishing to acknowledgment, per line, since the last call.
    std::vector<double> TakeAckLatencies()
    {
        std::vector<double> all;
        for (auto& c : clients) {
            all.insert(all.end(), c->ackLatencies.begin(), c->ackLatencies.end());
            c->ackLatencies.clear();
        }
        return all;
    }
    // Lines not acknowledged yet.
    std::size_t Unacknowledged() const
    {
        std::size_t n = 0;
        for (const auto& c : clients) n += c->sent.size();
        return n;
    }

private:
    struct Client {
        mosquitto* m = nullptr;
        std::string station, epoch;
        double phase = 0;
        long seq = 0;
        std::uint64_t index = 0;
        std::map<std::uint64_t, Clock::time_point> sent;
        std::vector<double> ackLatencies;
    };

    static void OnMessage(mosquitto*, void* p, const mosquitto_message* msg)
    {
        auto& c = *static_cast<Client*>(p);
        NetFiled filed;
        if (!ParseNetFiled(std::string(static_cast<const char*>(msg->payload), std::size_t(msg->payloadlen)), filed) ||
            filed.epoch != c.epoch)
            return;
        const auto now = Clock::now();
        const auto end = c.sent.upper_bound(filed.seq);
        for (auto it = c.sent.begin(); it != end; ++it)
            c.ackLatencies.push_back(std::chrono::duration<double, std::milli>(now - it->second).count());
        c.sent.erase(c.sent.begin(), end);
    }

    static std::string LineNow(long seq)
    {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        char text[64];
        std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d:%02d: X,  %ld  Y,  %ld", tm.tm_mday, tm.tm_mon + 1,
                      tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec, 17000 + seq % 977, -300 - seq % 13);
        return text;
    }

    ArchiveWatch& watch;
    std::vector<std::unique_ptr<Client>> clients;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench-network",
                                "Usage: mox-bench-network [SECONDS [N...]]\n"
                                "N simulated stations publishing one line per second into one broker and\n"
                                "one mox-collect (default: 20 s at N = 10, 100, 1000).\n",
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
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: mox-bench-network [SECONDS] [N ...]\n");
        return 2;
    }
    mosquitto_lib_init();
    const std::string base =
        (std::filesystem::temp_directory_path() / ("mox-bench-network-" + std::to_string(getpid()))).string();

    std::printf("| Stations | Lines published | Lines filed | Lines/s filed | Latency median ms | p99 ms | max ms | "
                "Acknowledged median ms | p99 ms | Collector CPU %% | Collector RSS KB | Collector peak KB |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int n : counts) {
        const std::string dir = base + "/n" + std::to_string(n), root = dir + "/archive";
        std::filesystem::create_directories(dir);
        TestBroker broker(dir + "/broker");
        if (!broker.Running()) {
            std::fprintf(stderr, "no broker\n");
            return 1;
        }
        ArchiveWatch watch(root);
        ChildProcess collect({MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                              std::to_string(broker.Port()), "--root", root, "--id", "bench-archive"},
                             dir + "/collect.log");
        const int pid = collect.Pid();
        // Lines published before the collector subscribed would be gaps the simulated stations
        // never fill.
        WaitFor([&] { return ReadBytes(dir + "/collect.log").find("verbunden") != std::string::npos; }, 20000);
        Stations stations(n, broker.Port(), watch);
        // A warm-up: a line from every station, filed and acknowledged, settles the connections
        // and opens the day files.
        const std::size_t warm = stations.Run(1);
        for (const auto settle = Clock::now() + std::chrono::seconds(20);
             (watch.Filed() < warm || stations.Unacknowledged() > 0) && Clock::now() < settle;)
            stations.Pump(50);
        watch.TakeLatencies();
        stations.TakeAckLatencies();
        const std::size_t filedBefore = watch.Filed();
        const ProcessLoad before = LoadOf(pid);
        const auto start = Clock::now();
        const std::size_t published = stations.Run(seconds);
        const auto end = Clock::now() + std::chrono::seconds(10);
        while ((watch.Filed() - filedBefore < published || stations.Unacknowledged() > 0) && Clock::now() < end)
            stations.Pump(50);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const ProcessLoad after = LoadOf(pid);
        const std::size_t filed = watch.Filed() - filedBefore;
        const std::vector<double> lat = watch.TakeLatencies();
        const std::vector<double> ack = stations.TakeAckLatencies();
        std::printf("| %d | %zu | %zu | %.0f | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %ld | %ld |\n", n, published,
                    filed, double(filed) / wall, Percentile(lat, 0.5), Percentile(lat, 0.99), Percentile(lat, 1.0),
                    Percentile(ack, 0.5), Percentile(ack, 0.99), 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall,
                    after.rssKb, after.peakKb);
        std::fflush(stdout);
        collect.Stop(SIGTERM);
        broker.Stop();
    }
    std::filesystem::remove_all(base);
    return 0;
}
