// mox-bench-web: the speed of mox-collect's web face.
//
//   mox-bench-web [seconds]   seconds of live traffic per station count (default 10)
//
// 1. HAPI data throughput: a real day of one-second lines (two sensors, 86 400 lines) in an
//    archive of its own, answered as CSV and as JSON, in-process (the answer's stream alone)
//    and over HTTP from the web face on a free port of 127.0.0.1; rows per second.
// 2. Live delay: lines handed to the web face as the collector hands it each filed line,
//    read back by an event-stream client as the page reads them, at 1 and 100 stations
//    sending one line a second each; the delay from the hand-over to the client's read.
//
// Prints Markdown; docs/benchmarks.md keeps a copy of its output.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collect/web/DayConversion.h"
#include "collect/web/Hapi.h"
#include "collect/web/WebFace.h"
#include "lines/NetProtocol.h"
#include "mox/rtl/CommandLine.h"
#include "tests/conversion/RealSeconds.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

int Connect(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// The whole answer to a GET, read as a client reads it; its size in bytes.
std::size_t HttpGet(int port, const std::string& path)
{
    const int s = Connect(port);
    if (s < 0) return 0;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (write(s, request.data(), request.size()) != ssize_t(request.size())) return 0;
    std::string tail;
    std::size_t total = 0;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = read(s, buffer, sizeof buffer);
        if (n <= 0) break;
        total += std::size_t(n);
        tail.append(buffer, std::size_t(n));
        if (tail.size() > 5) tail.erase(0, tail.size() - 5);
        if (tail == "0\r\n\r\n") break;  // the last chunk
    }
    close(s);
    return total;
}

std::string MakeArchive(const std::string& root)
{
    std::vector<SecondRecord> records;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(BENCH_REAL_DATA "/wic20220810vsec", ec))
        if (e.path().extension() == ".sec") records = ReadIagaSeconds(e.path().string());
    if (records.empty()) return {};
    std::filesystem::create_directories(root + "/Bench");
    std::string text;
    for (const SecondRecord& r : records) {
        long readings[2];
        for (int i = 0; i < 2; ++i) readings[i] = std::isnan(r.v[i]) ? 0 : std::lround(r.v[i]);
        text += DeviceStamp(10, 8, 2022, r.second) + DevicePayload("XY", readings) + "\r\n";
    }
    std::ofstream(root + "/Bench/20220810.txt", std::ios::binary) << text;
    return std::to_string(records.size());
}

void Throughput(const std::string& root, int port)
{
    Archive archive(root);
    DayConversion days(archive, root + "-work");
    HapiService hapi(archive, days);
    // The first request of a minute dataset converts the day; later ones take it from memory
    // until the day's file grows.
    std::printf("| Answer | Rows | MB | First s | Best s | Rows/s (best) |\n|---|---:|---:|---:|---:|---:|\n");
    for (const char* format : {"csv", "json"}) {
        for (const char* dataset : {"Bench/raw", "Bench/minute"}) {
            const HapiQuery q = {
                {"dataset", dataset}, {"start", "2022-08-10"}, {"stop", "2022-08-11"}, {"format", format}};
            HapiAnswer error;
            auto best = 1e9, first = 0.0;
            std::uint64_t rows = 0;
            std::size_t bytes = 0;
            for (int run = 0; run < 3; ++run) {
                const auto t = Clock::now();
                auto stream = hapi.Data(q, error);
                std::string piece;
                bytes = 0;
                while (stream->Next(piece)) {
                    bytes += piece.size();
                    piece.clear();
                }
                bytes += piece.size();
                best = std::min(best, Since(t));
                if (run == 0) first = best;
                rows = stream->Rows();
            }
            std::printf("| in-process %s %s | %llu | %.1f | %.4f | %.4f | %.0f |\n", dataset, format,
                        (unsigned long long)rows, bytes / 1e6, first, best, rows / best);
            best = 1e9;
            for (int run = 0; run < 3; ++run) {
                const auto t = Clock::now();
                bytes = HttpGet(port, std::string("/hapi/data?dataset=") + dataset +
                                          "&start=2022-08-10&stop=2022-08-11&format=" + format);
                best = std::min(best, Since(t));
                if (run == 0) first = best;
            }
            std::printf("| HTTP %s %s | %llu | %.1f | %.4f | %.4f | %.0f |\n", dataset, format,
                        (unsigned long long)rows, bytes / 1e6, first, best, rows / best);
        }
    }
}

// An event-stream client: the delay of every line event from its hand-over.
class LiveClient {
public:
    explicit LiveClient(int port) : socket(Connect(port))
    {
        const std::string request = "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n";
        if (socket >= 0 && write(socket, request.data(), request.size()) == ssize_t(request.size()))
            reader = std::thread([this] { Read(); });
    }
    ~LiveClient()
    {
        shutdown(socket, SHUT_RDWR);
        if (reader.joinable()) reader.join();
        close(socket);
    }
    void Sent(long value)
    {
        std::lock_guard<std::mutex> g(lock);
        sent[value] = Clock::now();
    }
    std::vector<double> Delays()
    {
        std::lock_guard<std::mutex> g(lock);
        return delays;
    }
    bool Started() const { return started; }

private:
    void Read()
    {
        std::string text;
        char buffer[1 << 16];
        while (true) {
            const ssize_t n = read(socket, buffer, sizeof buffer);
            if (n <= 0) return;
            const auto now = Clock::now();
            started = true;
            text.append(buffer, std::size_t(n));
            std::size_t at;
            while ((at = text.find("\"X\":")) != std::string::npos) {
                const long value = std::atol(text.c_str() + at + 4);
                text.erase(0, at + 4);
                std::lock_guard<std::mutex> g(lock);
                const auto found = sent.find(value);
                if (found != sent.end()) delays.push_back(std::chrono::duration<double>(now - found->second).count());
            }
        }
    }

    int socket;
    std::thread reader;
    std::atomic<bool> started{false};
    std::mutex lock;
    std::map<long, Clock::time_point> sent;
    std::vector<double> delays;
};

// False when the client read none of the lines: the row would measure nothing.
bool LiveDelay(WebFace& face, int port, int stations, int seconds)
{
    LiveClient client(port);
    for (int i = 0; i < 200 && !client.Started(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    long value = 100000;
    const auto begin = Clock::now();
    for (int s = 0; s < seconds; ++s) {
        // The stations' lines of one second, spread over the second as stations send them.
        for (int st = 0; st < stations; ++st) {
            const auto due = begin + std::chrono::microseconds((s * 1000000LL) + st * 1000000LL / stations);
            std::this_thread::sleep_until(due);
            char line[80];
            std::snprintf(line, sizeof line, "10.08.22 12:%02d:%02d: X,  %ld, Y,  -5", s / 60, s % 60, ++value);
            client.Sent(value);
            // As mox-collect hands over a filed line: the station's message on its line topic.
            face.Take("mox/S" + std::to_string(st) + "/line",
                      NetLineText({"00000000000000b1", std::uint64_t(value), std::uint64_t(s), line}));
        }
    }
    // Lines not read within half a second after the last one count as lost.
    const std::size_t sent = std::size_t(value - 100000);
    for (const auto end = Clock::now() + std::chrono::milliseconds(500);
         client.Delays().size() < sent && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<double> d = client.Delays();
    std::sort(d.begin(), d.end());
    if (d.empty()) {
        std::printf("| %d | 0 of %ld | – | – | – |\n", stations, value - 100000);
        return false;
    }
    auto at = [&d](double q) { return d[std::min(d.size() - 1, std::size_t(q * double(d.size())))] * 1e3; };
    std::printf("| %d | %zu of %ld | %.2f | %.2f | %.2f |\n", stations, d.size(), value - 100000, at(0.5), at(0.99),
                d.back() * 1e3);
    return true;
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench-web",
                                "Aufruf: mox-bench-web [SEKUNDEN]\n"
                                "Misst den HAPI-Durchsatz (ein Tag Sekundenwerte, CSV und JSON) und die\n"
                                "Verzögerung bis zur Live-Ansicht bei 1 und 100 Stationen (Vorgabe 10 s).\n",
                                {},
                                1};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string pattern = (std::filesystem::temp_directory_path() / "mox-bench-web-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const std::string root = pattern + "/archiv";
    const std::string lines = MakeArchive(root);
    if (lines.empty()) {
        std::fprintf(stderr, "mox-bench-web: keine Sekundendaten unter %s\n", BENCH_REAL_DATA);
        return 1;
    }
    WebOptions options;
    options.root = root;
    options.maxClients = 256;
    std::string error;
    std::unique_ptr<WebFace> face = WebFace::Start(options, error);
    if (!face) {
        std::fprintf(stderr, "mox-bench-web: %s\n", error.c_str());
        return 1;
    }
    std::printf("HAPI data, one day of %s one-second lines (two sensors), best of three:\n\n", lines.c_str());
    Throughput(root, face->Port());
    std::printf("\nLive delay, hand-over to the event-stream client, %d s per row:\n\n", seconds);
    std::printf("| Stations | Lines read | Median ms | 99 %% ms | Max ms |\n|---:|---:|---:|---:|---:|\n");
    bool heard = true;
    for (int stations : {1, 100}) heard = LiveDelay(*face, face->Port(), stations, seconds) && heard;
    face.reset();
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
    if (!heard) std::fprintf(stderr, "mox-bench-web: die Live-Ansicht hat keine Zeile erhalten\n");
    return heard ? 0 : 1;
}
