// mox-collect as an administrator runs it: against a real broker, stopped and started again,
// with the broker going away under it.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "../support/Broker.h"
#include "../support/NatsBroker.h"
#include "../support/Process.h"
#include "../support/SmallDisk.h"
#include "../support/TempDir.h"
#include "station/app/MqttPublisher.h"

namespace {

constexpr int kLong = 60000;
const std::string kProgram = MOX_BINARY_DIR "/bin/mox-collect";

std::string Lines(int from, int to, const char* date = "09.12.26")
{
    std::string text;
    for (int i = from; i < to; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%s 12:%02d:%02d: X,  %d\r\n", date, i / 60 % 60, i % 60, 17000 + i);
        text += line;
    }
    return text;
}

std::string Yesterday(int from, int to) { return Lines(from, to, "08.12.26"); }

ino_t Inode(const std::string& file)
{
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Reads a file over and over, as a reader of the archive would, keeping each content it saw.
class FileWatch {
public:
    explicit FileWatch(std::string path) : file(std::move(path)), reader([this] { Run(); }) {}
    ~FileWatch() { Stop(); }
    std::set<std::string> Stop()
    {
        reading = false;
        if (reader.joinable()) reader.join();
        return seen;
    }

private:
    void Run()
    {
        while (reading) {
            seen.insert(ReadBytes(file));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    std::string file;
    std::atomic<bool> reading{true};
    std::set<std::string> seen;
    std::thread reader;
};

bool HasTemporaries(const std::string& folder)
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.path().extension() == ".tmp") return true;
    return false;
}

MqttSettings Station(int port)
{
    MqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = port;
    s.Station = "Ost";
    s.Archive = true;
    s.RetryMaxSeconds = 1;
    return s;
}

void AppendBytes(const std::string& file, const std::string& bytes);

// A station as the collector sees it: a day file, a spool and the publisher.
struct FakeStation {
    FakeStation(int port, const std::string& dir) : data(dir + "/"), publisher(Station(port), dir + "/spool.dat", dir)
    {
        std::filesystem::create_directories(dir);
        publisher.Start();
    }
    void Publish(int from, int to) { Publish("20261209.txt", Lines(from, to)); }
    // Each line filed in the day file, then handed to the publisher, as the station does.
    void Publish(const std::string& day, const std::string& text)
    {
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            AppendBytes(data + day, text.substr(at, end + 2 - at));
            publisher.PublishLine(text.substr(at, end - at));
            at = end + 2;
        }
    }
    std::string data;
    MqttPublisher publisher;
};

void AppendBytes(const std::string& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

}  // namespace

TEST(MoxCollect, HelpVersionAndUsageErrors)
{
    TempDir dir;
    const std::string out = dir / "out.txt";
    EXPECT_EQ(ChildProcess({kProgram, "--help"}, out).Wait(kLong), 0);
    EXPECT_NE(ReadBytes(out).find("--password-file"), std::string::npos);
    EXPECT_EQ(ChildProcess({kProgram, "--version"}, out).Wait(kLong), 0);
    EXPECT_NE(ReadBytes(out).find("mox-collect "), std::string::npos);
    WriteBytes(out, "");
    EXPECT_EQ(ChildProcess({kProgram, "--host", "127.0.0.1"}, out).Wait(kLong), 2);
    EXPECT_NE(ReadBytes(out).find("--root"), std::string::npos);
    WriteBytes(out, "");
    EXPECT_EQ(ChildProcess({kProgram, "--host", "127.0.0.1", "--root", dir / "a", "--password-file", dir / "none"}, out)
                  .Wait(kLong),
              1);
    EXPECT_NE(ReadBytes(out).find(dir / "none"), std::string::npos);
}

// The station keeps each line until the collector has it on its disk: neither the collector
// nor the broker being away loses one.
TEST(MoxCollect, NothingIsMissedWhileTheCollectorOrTheBrokerIsAway)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const std::string root = dir / "archive", log = dir / "collect.log", day = root + "/Ost/20261209.txt";
    WriteBytes(dir / "pw", "Pass-Wort-42\n");
    const std::vector<std::string> args = {kProgram,
                                           "--host",
                                           "127.0.0.1",
                                           "--port",
                                           std::to_string(broker.Port()),
                                           "--root",
                                           root,
                                           "--id",
                                           "archive-1",
                                           "--user",
                                           "collector",
                                           "--password-file",
                                           dir / "pw",
                                           "--ack-ms",
                                           "50",
                                           "--retry-max",
                                           "1"};
    FakeStation station(broker.Port(), dir / "station");
    {
        ChildProcess collect(args, log);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("verbunden") != std::string::npos; }, kLong));
        station.Publish(0, 100);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 100); }, kLong)) << ReadBytes(day).size();
        // Filed and acknowledged: the spool is empty.
        ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));
        EXPECT_EQ(collect.Stop(SIGTERM), 0);
    }
    // Away: the lines wait at the station, not only in the broker.
    station.Publish(100, 200);
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(station.publisher.Backlog(), 100u);
    ChildProcess collect(args, log);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 200); }, kLong)) << ReadBytes(day).size();

    // The broker away, and its store lost: the collector waits and reconnects by itself, the
    // station sends again what was not filed.
    broker.Stop();
    std::filesystem::remove(dir / "broker/mosquitto.db");
    station.Publish(200, 250);
    ASSERT_TRUE(broker.Start());
    station.Publish(250, 300);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 300); }, kLong)) << ReadBytes(day).size();
    ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));
    EXPECT_EQ(collect.Stop(SIGTERM), 0);
    EXPECT_EQ(ReadBytes(log).find("Pass-Wort-42"), std::string::npos);
}

// The archive's disk is full: nothing is acknowledged that is not written, so a collector
// restarted meanwhile loses nothing; once there is room, the station's lines all arrive.
TEST(MoxCollect, ACollectorRestartedWhileItsDiskIsFullLosesNothing)
{
    TempDir dir;
    SmallDisk disk(dir / "archive", 64);
    REQUIRE_SMALL_DISK(disk);
    // Leaves about 4 KB: some 150 lines.
    WriteBytes(disk / "filler", std::string(60 * 1024, 'f'));
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const std::string log = dir / "collect.log", day = disk / "Ost/20261209.txt";
    const std::vector<std::string> args = {
        kProgram, "--host",       "127.0.0.1", "--port",       std::to_string(broker.Port()),
        "--root", disk / "",      "--id",      "archive-full", "--ack-ms",
        "50",     "--request-ms", "200"};
    FakeStation station(broker.Port(), dir / "station");
    {
        ChildProcess collect(args, log);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("verbunden") != std::string::npos; }, kLong));
        station.Publish(0, 400);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("No space left") != std::string::npos; }, kLong))
            << ReadBytes(log);
        // What did not fit stays with the station.
        ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() < 400; }, kLong));
        EXPECT_GT(station.publisher.Backlog(), 100u);
        EXPECT_EQ(collect.Stop(SIGTERM), 0);
    }
    EXPECT_NE(ReadBytes(log).find("nicht geschrieben"), std::string::npos);
    ChildProcess collect(args, log);
    station.Publish(400, 450);
    std::filesystem::remove(disk / "filler");
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 450); }, kLong)) << ReadBytes(day).size();
    ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));
    EXPECT_EQ(collect.Stop(SIGTERM), 0);
}

// The archive's copy of a past day restored from an old backup, short and with a damaged line:
// the station's spool shows the gap, the station reads the whole day back from its day file, and
// the archive's day is replaced by it in one rename while the live day goes on being filed. A
// reader of the archive sees the old day or the station's, never one half filled. Then the live
// day itself loses its end while the collector is away, and is rewritten while the station's
// lines keep coming: none lost, none twice.
TEST(MoxCollect, ADayWithAGapIsReplacedWholeAsTheStationHasIt)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const std::string root = dir / "archive", log = dir / "collect.log";
    const std::string late = root + "/Ost/20261208.txt", live = root + "/Ost/20261209.txt";
    std::filesystem::create_directories(root + "/Ost");
    const std::string restored = Yesterday(0, 20) + "08.12.26 12:00:2\r\n" + Yesterday(21, 30);
    WriteBytes(late, restored);
    const ino_t before = Inode(late);
    const std::vector<std::string> args = {
        kProgram, "--host",       "127.0.0.1", "--port",       std::to_string(broker.Port()),
        "--root", root,           "--id",      "archive-fill", "--ack-ms",
        "50",     "--request-ms", "300"};
    FakeStation station(broker.Port(), dir / "station");
    WriteBytes(station.data + "20261208.txt", Yesterday(0, 2990));

    FileWatch watch(late);
    auto collect = std::make_unique<ChildProcess>(args, log);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("verbunden") != std::string::npos; }, kLong));
    station.Publish("20261208.txt", Yesterday(2990, 3000));
    station.Publish(0, 100);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(late) == Yesterday(0, 3000); }, kLong)) << ReadBytes(late).size();
    EXPECT_EQ(watch.Stop(), (std::set<std::string>{restored, Yesterday(0, 3000)}));
    EXPECT_NE(Inode(late), before);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(live) == Lines(0, 100); }, kLong)) << ReadBytes(live).size();
    ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));

    EXPECT_EQ(collect->Stop(SIGTERM), 0);
    WriteBytes(live, Lines(0, 40));
    station.Publish(100, 150);
    collect = std::make_unique<ChildProcess>(args, log);
    for (int i = 150; i < 400; i += 10) {
        station.Publish(i, i + 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(live) == Lines(0, 400); }, kLong)) << ReadBytes(live).size();
    ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));
    EXPECT_FALSE(HasTemporaries(root + "/Ost"));
    EXPECT_EQ(ReadBytes(late), Yesterday(0, 3000));
    EXPECT_EQ(collect->Stop(SIGTERM), 0);
}

// The same over NATS (MQTT over JetStream), the broker of a large network: the server stopped
// and started again, the collector killed, and a device clock set back so that lines repeat
// word for word: every line is filed, once, in order.
TEST(MoxCollect, OverNatsWithKillsAndRepeatedLinesTheArchiveEqualsTheStation)
{
    TempDir dir;
    NatsBroker broker(dir / "nats");
    ASSERT_TRUE(broker.Running());
    const std::string log = dir / "collect.log", day = dir / "archive/Ost/20261209.txt";
    const std::vector<std::string> args = {
        kProgram, "--host",        "127.0.0.1", "--port",       std::to_string(broker.Port()),
        "--root", dir / "archive", "--id",      "archive-nats", "--ack-ms",
        "50",     "--retry-max",   "1",         "--request-ms", "300"};
    FakeStation station(broker.Port(), dir / "station");
    auto collect = std::make_unique<ChildProcess>(args, log);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("verbunden") != std::string::npos; }, kLong));
    station.Publish(0, 60);
    station.Publish(0, 60);  // the clock set back a minute
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 60) + Lines(0, 60); }, kLong)) << ReadBytes(day).size();

    broker.Stop(SIGTERM);
    station.Publish(60, 100);
    ASSERT_TRUE(broker.Start());
    station.Publish(100, 120);
    collect->Stop(SIGKILL);
    station.Publish(120, 150);
    collect = std::make_unique<ChildProcess>(args, log);
    station.Publish(150, 160);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == ReadBytes(station.data + "20261209.txt"); }, kLong))
        << ReadBytes(day).size();
    ASSERT_TRUE(WaitFor([&] { return station.publisher.Backlog() == 0; }, kLong));
    EXPECT_EQ(collect->Stop(SIGTERM), 0);
}

// As the service manager sees it: ready and alive also while the broker stays away, and ended
// at once by SIGTERM.
TEST(MoxCollect, TellsTheServiceManagerItIsReadyAndAliveWithoutABroker)
{
    TempDir dir;
    const std::string socketPath = dir / "notify";
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::vector<std::string> messages;
    const auto received = [&](const std::string& m) {
        pollfd p = {fd, POLLIN, 0};
        char buf[4096];
        while (poll(&p, 1, 0) > 0) {
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            messages.emplace_back(buf, std::size_t(n));
        }
        return std::find(messages.begin(), messages.end(), m) != messages.end();
    };
    ChildProcess collect({kProgram, "--host", "127.0.0.1", "--port", std::to_string(TestBroker::FreePort()), "--root",
                          dir / "archive", "--retry-max", "1"},
                         dir / "log", {"NOTIFY_SOCKET=" + socketPath, "WATCHDOG_USEC=400000"});
    EXPECT_TRUE(WaitFor([&] { return received("READY=1"); }, kLong));
    EXPECT_TRUE(WaitFor([&] { return received("WATCHDOG=1"); }, kLong));
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(collect.Stop(SIGTERM), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
    EXPECT_TRUE(received("STOPPING=1"));
    close(fd);
}
