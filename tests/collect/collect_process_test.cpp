// mox-collect as an administrator runs it: against a real broker, stopped and started again,
// with the broker going away under it.
#include <gtest/gtest.h>

#include <cstdio>

#include "../support/Broker.h"
#include "../support/Process.h"
#include "../support/TempDir.h"
#include "station/app/MqttPublisher.h"

namespace {

constexpr int kLong = 60000;
const std::string kProgram = MOX_BINARY_DIR "/bin/mox-collect";

std::string Lines(int from, int to)
{
    std::string text;
    for (int i = from; i < to; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "09.12.26 12:%02d:%02d: X,  %d\r\n", i / 60, i % 60, 17000 + i);
        text += line;
    }
    return text;
}

void Publish(MqttPublisher& p, int from, int to)
{
    const std::string text = Lines(from, to);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        p.PublishLine(text.substr(at, end - at));
        at = end + 2;
    }
}

MqttSettings Station(int port)
{
    MqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = port;
    s.Station = "Ost";
    return s;
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

TEST(MoxCollect, APersistentSessionMissesNothingWhileTheCollectorOrTheBrokerIsAway)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const std::string root = dir / "archive", log = dir / "collect.log", day = root + "/Ost/20261209.txt";
    WriteBytes(dir / "pw", "Pass-Wort-42\n");
    const std::vector<std::string> args = {kProgram, "--host", "127.0.0.1", "--port", std::to_string(broker.Port()),
                                           "--root", root, "--id", "archive-1", "--user", "collector",
                                           "--password-file", dir / "pw"};
    MqttPublisher station(Station(broker.Port()), dir / "spool.dat");
    ASSERT_TRUE(station.Start());
    {
        ChildProcess collect(args, log);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(log).find("verbunden") != std::string::npos; }, kLong));
        Publish(station, 0, 100);
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 100); }, kLong)) << ReadBytes(day).size();
        EXPECT_EQ(collect.Stop(SIGTERM), 0);
    }
    // Away: the broker keeps the lines for the session.
    Publish(station, 100, 200);
    ASSERT_TRUE(WaitFor([&] { return station.Backlog() == 0; }, kLong));
    ChildProcess collect(args, log);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 200); }, kLong)) << ReadBytes(day).size();

    // The broker away: the collector waits and reconnects by itself.
    broker.Stop();
    Publish(station, 200, 250);
    ASSERT_TRUE(broker.Start());
    Publish(station, 250, 300);
    ASSERT_TRUE(WaitFor([&] { return ReadBytes(day) == Lines(0, 300); }, kLong)) << ReadBytes(day).size();
    EXPECT_EQ(collect.Stop(SIGTERM), 0);
    EXPECT_EQ(ReadBytes(log).find("Pass-Wort-42"), std::string::npos);
}
