// The publisher against a real broker: order, retained state, outages and restarts.
#include <gtest/gtest.h>
#include <mosquitto.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "../../support/Broker.h"
#include "../../support/TempDir.h"
#include "lines/NetProtocol.h"
#include "station/app/MqttPublisher.h"

namespace {

constexpr int kLong = 60000;  // generous: the machine may be busy

std::string Line(int i)
{
    char text[64];
    std::snprintf(text, sizeof text, "09.12.26 %02d:%02d:%02d: X,  %d", i / 3600, i / 60 % 60, i % 60, 17000 + i);
    return text;
}

std::vector<std::string> Lines(int from, int to)
{
    std::vector<std::string> out;
    for (int i = from; i < to; ++i) out.push_back(Line(i));
    return out;
}

MqttSettings Settings(int port)
{
    MqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = port;
    s.Station = "Test_1";
    // A broker that comes back is found within a second, as a test wants it.
    s.RetryMaxSeconds = 1;
    return s;
}

}  // namespace

TEST(MqttPublisher, LinesInOrderRetainedStatusOnlineAndAnEmptySpool)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    TestSubscriber live(broker.Port(), "mox/#");
    {
        MqttPublisher publisher(Settings(broker.Port()), dir / "spool.dat");
        ASSERT_TRUE(publisher.Start()) << publisher.Problem();
        ASSERT_TRUE(WaitFor([&] { return publisher.Connected(); }, kLong)) << publisher.Problem();
        for (const std::string& l : Lines(0, 300)) publisher.PublishLine(l);
        publisher.PublishStatus("{\"station\":\"Test_1\"}");
        ASSERT_TRUE(WaitFor([&] { return live.Payloads("mox/Test_1/raw").size() >= 300; }, kLong));
        EXPECT_EQ(live.Payloads("mox/Test_1/raw"), Lines(0, 300));
        EXPECT_TRUE(WaitFor([&] { return publisher.Backlog() == 0; }, kLong));

        // A subscriber that comes later gets the state from the broker's store.
        TestSubscriber later(broker.Port(), "mox/Test_1/+");
        ASSERT_TRUE(WaitFor([&] { return later.Messages().size() >= 3; }, kLong));
        for (const auto& m : later.Messages()) {
            EXPECT_TRUE(m.retained) << m.topic;
            if (m.topic == "mox/Test_1/online") EXPECT_EQ(m.payload, "1");
            else if (m.topic == "mox/Test_1/owner") EXPECT_NE(m.payload.find(dir / "spool.dat"), std::string::npos);
            else EXPECT_EQ(m.payload, "{\"station\":\"Test_1\"}") << m.topic;
        }
    }
    // A station that ends cleanly says so on its online topic.
    TestSubscriber after(broker.Port(), "mox/Test_1/online");
    ASSERT_TRUE(WaitFor([&] { return !after.Payloads("mox/Test_1/online").empty(); }, kLong));
    EXPECT_EQ(after.Payloads("mox/Test_1/online").back(), "0");
    // Everything acknowledged: nothing to send again at the next start.
    EXPECT_EQ(LineSpool(dir / "spool.dat").Backlog(), 0u);
}

TEST(MqttPublisher, NothingIsLostWhileTheBrokerIsDownNorAcrossARestartOfTheStation)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    {
        TestSubscriber subscribe(broker.Port(), "mox/Test_1/raw", "test-archive");
        ASSERT_TRUE(WaitFor([&] { return subscribe.Subscribed(); }, kLong));
    }
    broker.Stop();

    // The broker is down: the lines wait in the spool, also across a restart of the station.
    {
        MqttPublisher publisher(Settings(broker.Port()), dir / "spool.dat");
        ASSERT_TRUE(publisher.Start());
        for (const std::string& l : Lines(0, 40)) publisher.PublishLine(l);
        EXPECT_EQ(publisher.Backlog(), 40u);
        EXPECT_FALSE(publisher.Connected());
    }
    MqttPublisher publisher(Settings(broker.Port()), dir / "spool.dat");
    EXPECT_EQ(publisher.Backlog(), 40u);
    ASSERT_TRUE(publisher.Start());
    for (const std::string& l : Lines(40, 80)) publisher.PublishLine(l);
    ASSERT_TRUE(broker.Start());
    TestSubscriber archive(broker.Port(), "mox/Test_1/raw", "test-archive");
    ASSERT_TRUE(WaitFor([&] { return publisher.Backlog() == 0; }, kLong)) << publisher.Problem();

    // Down again while lines come in, up again: the rest follows in order.
    broker.Stop();
    for (const std::string& l : Lines(80, 120)) publisher.PublishLine(l);
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitFor([&] { return publisher.Backlog() == 0; }, kLong)) << publisher.Problem();
    ASSERT_TRUE(WaitFor([&] { return archive.FirstCopies("mox/Test_1/raw").size() >= 120; }, kLong));
    EXPECT_EQ(archive.FirstCopies("mox/Test_1/raw"), Lines(0, 120));
}

// A collector's request, as mox-collect sends it.
void Request(int port, const std::string& text)
{
    mosquitto* m = mosquitto_new(nullptr, true, nullptr);
    if (mosquitto_connect(m, "127.0.0.1", port, 10) == MOSQ_ERR_SUCCESS) {
        mosquitto_publish(m, nullptr, "mox/Test_1/request", int(text.size()), text.data(), 1, false);
        for (int i = 0; i < 10; ++i) mosquitto_loop(m, 20, 1);
        mosquitto_disconnect(m);
    }
    mosquitto_destroy(m);
}

// A request is answered from the day file with whole lines only: a last line still being
// written goes with a later answer, complete, never torn.
TEST(MqttPublisher, ARequestIsAnsweredWithTheDayFilesWholeLines)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    std::filesystem::create_directories(dir / "data");
    const std::string day = dir / "data/20261209.txt";
    WriteBytes(day, Line(0) + "\r\n" + Line(1) + "\r\n" + Line(2).substr(0, 12));
    MqttSettings settings = Settings(broker.Port());
    settings.Archive = true;
    MqttPublisher publisher(settings, dir / "spool.dat", dir / "data");
    TestSubscriber answers(broker.Port(), "mox/Test_1/line");
    ASSERT_TRUE(publisher.Start());
    ASSERT_TRUE(WaitFor([&] { return publisher.Connected() && answers.Subscribed(); }, kLong)) << publisher.Problem();
    const auto answered = [&] {
        std::vector<std::string> lines;
        for (const std::string& payload : answers.FirstCopies("mox/Test_1/line")) {
            NetLine l;
            EXPECT_TRUE(ParseNetLine(payload, l)) << payload;
            EXPECT_EQ(l.seq, 0u);
            lines.push_back(std::to_string(l.index) + " " + l.line);
        }
        return lines;
    };
    // Asked again until answered, as the collector does: the station subscribes after connecting.
    const auto ask = [&](const std::string& request, std::size_t lines) {
        return WaitFor(
            [&] {
                if (answered().size() >= lines) return true;
                Request(broker.Port(), request);
                return false;
            },
            kLong);
    };
    ASSERT_TRUE(ask("20261209 0", 2));
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(answered(), (std::vector<std::string>{"0 " + Line(0), "1 " + Line(1)}));

    WriteBytes(day, ReadBytes(day) + Line(2).substr(12) + "\r\n");
    ASSERT_TRUE(ask("20261209 2", 3));
    EXPECT_EQ(answered().back(), "2 " + Line(2));
}

// A CA and a server certificate for 127.0.0.1, made with the openssl tool.
bool MakeCertificates(const std::string& dir)
{
    WriteBytes(dir + "/san.ext", "subjectAltName=IP:127.0.0.1\n");
    const std::string commands =
        "cd " + dir +
        " && "
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=MOX-Test-CA "
        "-keyout ca.key -out ca.crt "
        "2>/dev/null && "
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=Other-CA -keyout "
        "other.key -out other.crt "
        "2>/dev/null && "
        "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 -keyout server.key "
        "-out server.csr 2>/dev/null && "
        "openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile san.ext "
        "-out server.crt 2>/dev/null";
    return std::system(commands.c_str()) == 0;
}

TEST(MqttPublisher, TlsWithTheBrokersCaAndNoConnectionWithAnotherCa)
{
    TempDir dir;
    ASSERT_TRUE(MakeCertificates(dir.path.string()));
    const std::string d = dir.path.string();
    TestBroker broker(dir / "broker",
                      "cafile " + d + "/ca.crt\ncertfile " + d + "/server.crt\nkeyfile " + d + "/server.key\n");
    ASSERT_TRUE(broker.Running());
    MqttSettings s = Settings(broker.Port());
    s.CaFile = dir / "other.crt";
    {
        MqttPublisher stranger(s, dir / "stranger.dat");
        ASSERT_TRUE(stranger.Start());
        stranger.PublishLine(Line(1));
        EXPECT_TRUE(WaitFor([&] { return !stranger.Problem().empty(); }, kLong));
        EXPECT_FALSE(stranger.Connected());
        EXPECT_EQ(stranger.Backlog(), 1u);
    }
    s.CaFile = dir / "ca.crt";
    MqttPublisher station(s, dir / "spool.dat");
    ASSERT_TRUE(station.Start());
    station.PublishLine(Line(1));
    EXPECT_TRUE(WaitFor([&] { return station.Connected() && station.Backlog() == 0; }, kLong)) << station.Problem();

    // A missing CA file is told and tried again; the lines wait and go out once it is there.
    s.CaFile = dir / "later.crt";
    s.Station = "Test_2";
    MqttPublisher later(s, dir / "later.dat");
    ASSERT_TRUE(later.Start());
    later.PublishLine(Line(2));
    EXPECT_TRUE(WaitFor([&] { return later.Problem().find("later.crt") != std::string::npos; }, kLong))
        << later.Problem();
    EXPECT_EQ(later.Backlog(), 1u);
    std::filesystem::copy_file(dir / "ca.crt", dir / "later.crt");
    EXPECT_TRUE(WaitFor([&] { return later.Connected() && later.Backlog() == 0; }, kLong)) << later.Problem();
}

// The broker refuses the login: that is what the station says, not a broken connection.
TEST(MqttPublisher, ARefusedLoginIsToldAsSuch)
{
    TempDir dir;
    ASSERT_EQ(std::system(("mosquitto_passwd -c -b " + (dir / "passwd") + " station right").c_str()), 0);
    TestBroker broker(dir / "broker", "password_file " + (dir / "passwd") + "\n");
    ASSERT_TRUE(broker.Running());
    MqttSettings s = Settings(broker.Port());
    s.User = "station";
    s.Password = "wrong";
    MqttPublisher station(s, dir / "spool.dat");
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(WaitFor([&] { return station.Problem().find("Anmeldung") != std::string::npos; }, kLong))
        << station.Problem();
    // Later attempts, refused the same way, never turn it into "nicht erreichbar".
    WaitFor([] { return false; }, 1500);
    EXPECT_NE(station.Problem().find("weist die Anmeldung ab"), std::string::npos) << station.Problem();
}

// A broker that takes the connection but never answers: the station still stops at once.
TEST(MqttPublisher, AStationWhoseBrokerNeverAnswersStopsPromptly)
{
    TempDir dir;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(s, 1), 0);
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), 0);
    MqttSettings settings = Settings(ntohs(a.sin_port));
    settings.ConnectSeconds = 1;
    auto station = std::make_unique<MqttPublisher>(settings, dir / "spool.dat");
    ASSERT_TRUE(station->Start());
    station->PublishLine(Line(3));
    EXPECT_TRUE(WaitFor([&] { return station->Problem().find("nicht erreichbar") != std::string::npos; }, kLong))
        << station->Problem();
    const auto begun = std::chrono::steady_clock::now();
    station.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
    close(s);
}

// Two installations given the same station name: the second one refuses, naming the first,
// instead of both taking turns on the broker; when the first is gone, the second may take over.
TEST(MqttPublisher, ASecondStationWithTheSameNameIsRefusedNamingTheFirst)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    MqttSettings s = Settings(broker.Port());
    auto first = std::make_unique<MqttPublisher>(s, dir / "one/spool.dat", dir / "one");
    ASSERT_TRUE(first->Start());
    ASSERT_TRUE(WaitFor([&] { return first->Connected(); }, kLong)) << first->Problem();

    MqttPublisher second(s, dir / "two/spool.dat", dir / "two");
    ASSERT_TRUE(second.Start());
    second.PublishLine(Line(5));
    ASSERT_TRUE(WaitFor([&] { return second.Problem().find("schon vergeben") != std::string::npos; }, kLong))
        << second.Problem();
    EXPECT_NE(second.Problem().find(dir / "one"), std::string::npos) << second.Problem();
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(second.Backlog(), 1u);
    // The first one is not disturbed.
    WaitFor([] { return false; }, 1500);
    EXPECT_TRUE(first->Connected());
    EXPECT_NE(second.Problem().find("schon vergeben"), std::string::npos) << second.Problem();

    first.reset();
    EXPECT_TRUE(WaitFor([&] { return second.Connected() && second.Backlog() == 0; }, kLong)) << second.Problem();
}
