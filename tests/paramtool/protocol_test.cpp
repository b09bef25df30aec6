#include "paramtool/MoxProtocol.h"
#include "paramtool/ParamForm.h"
#include "station/serial/ComPort.h"
#include "tests/devsim/DevSim.h"
#include "tools/devsim/Device.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <regex>

using namespace moxparam;

namespace {

using Frame = TMoxProtocol::TFrame;

TParamSet ReadSetFile(const std::string& name)
{
    TParamSet p{};
    std::ifstream in(name, std::ios::binary);
    in.read(reinterpret_cast<char*>(p.data()), p.size());
    EXPECT_EQ(in.gcount(), Size) << name;
    return p;
}

// A port and protocol on the simulator's terminal. The simulator needs no pauses between
// bytes, so they are added up instead of slept: a write would take ten seconds.
struct TSession {
    explicit TSession(const std::string& link) : protocol(port)
    {
        port.SetPort(link);
        protocol.Wait = [this](int ms) { paused += ms; };
        protocol.OnProgress = [this](int v) { progress.push_back(v); };
    }
    TComPort port;
    TMoxProtocol protocol;
    std::vector<int> progress;
    int paused = 0;
};

// Seconds of the day of a device line "dd.mm.yy hh:mm:ss:..."; -1 if it is none.
int LineSecond(const std::string& line)
{
    static const std::regex form(R"(^\d\d\.\d\d\.\d\d (\d\d):(\d\d):(\d\d):.*)");
    std::smatch m;
    if (!std::regex_match(line, m, form)) return -1;
    return std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
}

}  // namespace

class Protocol : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(Protocol, ClockFramesAreExactAndSetTheDeviceClock)
{
    EXPECT_EQ(TMoxProtocol::DateFrame(15, 4, 2003), (Frame{0x02, 0x0F, 0x04, 0x03, 0xFF, 0x1B}));
    EXPECT_EQ(TMoxProtocol::TimeFrame(23, 59, 7), (Frame{0x01, 0x17, 0x3B, 0x07, 0xFF, 0x1B}));
    EXPECT_EQ(TMoxProtocol::DateFrame(1, 1, 2000)[3], 0x00);
    EXPECT_EQ(TMoxProtocol::DateFrame(1, 1, 2257)[3], 0x01);  // the year byte wraps
    EXPECT_EQ(TMoxProtocol::DateFrame(1, 1, 1999)[3], 0xFF);

    // The device's next data line shows what was sent; its clock runs ten times as fast, so
    // the line comes a few device seconds later.
    TDevSim sim({"--interval", "1", "--speed", "10", "--open-quiet", "0", "--start", "2010-01-01T08:00:00"});
    ASSERT_TRUE(sim.Started());
    TSession s(sim.Link());
    ASSERT_EQ(s.protocol.SetDate(15, 4, 2003), TMoxResult::Ok);
    ASSERT_EQ(s.protocol.SetTime(23, 59, 7), TMoxResult::Ok);
    EXPECT_FALSE(s.port.Connected());
    TComDataPacket framer(&s.port);
    framer.SetSize(70);
    framer.SetStartString("\r");
    framer.SetStopString("\n");
    std::string line;
    framer.OnPacket = [&](TComDataPacket*, const std::string& p) { line = p; };
    ASSERT_TRUE(s.port.SetConnected(true));
    ASSERT_TRUE(PumpUntil([&] { return !line.empty(); }, 5000));
    EXPECT_EQ(line.substr(0, 9), "15.04.03 ") << line;
    const int second = LineSecond(line);
    EXPECT_GE(second, 23 * 3600 + 59 * 60 + 7) << line;
    EXPECT_LT(second, 23 * 3600 + 59 * 60 + 30) << line;
}

TEST_F(Protocol, ReadTakesTheSetWhenBothCopiesAgree)
{
    TDevSim sim({});  // data lines running: the device must fall quiet for the exchange
    ASSERT_TRUE(sim.Started());
    TSession s(sim.Link());
    TParamSet buffer{};
    ASSERT_EQ(s.protocol.ReadParameters(buffer), TMoxResult::Ok);
    EXPECT_EQ(buffer, FactoryParams());
    EXPECT_FALSE(s.port.Connected());
    ASSERT_EQ(s.progress.size(), 103u);
    EXPECT_EQ(s.progress[50], 50);
    EXPECT_EQ(s.progress[101], 100);
    EXPECT_EQ(s.progress.back(), 0);
    EXPECT_EQ(s.paused, 2 * Size * TMoxProtocol::ReadPause);  // the device's pace, after every byte
}

TEST_F(Protocol, WriteIsEchoedAndReservedBytesSurviveAReadThenWrite)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("device.moi").toStdString();
    TDevSim sim({"--params", file});
    ASSERT_TRUE(sim.Started());
    TSession s(sim.Link());
    TParamSet buffer{};
    ASSERT_EQ(s.protocol.ReadParameters(buffer), TMoxResult::Ok);
    s.paused = 0;
    // The user changes fields; the reserved bytes come from the device and must go back.
    TParamFields fields = paramform::StandardFields();
    paramform::Show(buffer, fields);
    fields.dataInterval = 60;
    fields.offset1 = "-81234";
    fields.kLimit[8] = "-5";
    ASSERT_FALSE(paramform::Take(fields, buffer));
    ASSERT_EQ(s.protocol.WriteParameters(buffer), TMoxResult::Ok);
    EXPECT_EQ(s.paused, (1 + Size) * TMoxProtocol::WritePause + Size * TMoxProtocol::ReadPause);
    EXPECT_FALSE(s.port.Connected());
    const TParamSet device = ReadSetFile(file);
    EXPECT_EQ(device, buffer);
    const TParamSet factory = FactoryParams();
    EXPECT_EQ(device[reserved19], factory[reserved19]);
    for (int i = reserved45; i < Size; ++i) EXPECT_EQ(device[i], factory[i]) << i;
    EXPECT_EQ(device[data_interval], 60);
    EXPECT_EQ(device[k_limit + 16], 0xFF);
    EXPECT_EQ(device[k_limit + 17], 0xFB);
    EXPECT_EQ(Get32(device, offset1), -81234);
}

TEST_F(Protocol, FaultyDevicesEndInTheirReports)
{
    const TParamSet factory = FactoryParams();
    struct TCase {
        const char* fault;
        bool write;
        TMoxResult expected;
    };
    for (const TCase c :
         {TCase{"silent", false, TMoxResult::NoAnswer}, TCase{"one-copy", false, TMoxResult::NoAnswer},
          TCase{"bad-copy", false, TMoxResult::Differs}, TCase{"silent", true, TMoxResult::NoAnswer},
          TCase{"bad-echo", true, TMoxResult::Differs}, TCase{"hangup-after=30", false, TMoxResult::NoAnswer}}) {
        SCOPED_TRACE(std::string(c.fault) + (c.write ? " write" : " read"));
        TDevSim sim({"--no-data", "--fault", c.fault});
        ASSERT_TRUE(sim.Started());
        TSession s(sim.Link());
        // A device that falls silent is given up sooner; one that answers is waited for as ever.
        if (c.expected == TMoxResult::NoAnswer) s.port.SetReadTimeouts(100, 300);
        TParamSet buffer{};
        buffer.fill(0xEE);
        const TMoxResult result = c.write ? s.protocol.WriteParameters(buffer) : s.protocol.ReadParameters(buffer);
        EXPECT_EQ(result, c.expected);
        EXPECT_FALSE(s.port.Connected());
        if (std::string(c.fault) == "one-copy" || std::string(c.fault) == "bad-copy") {
            EXPECT_EQ(buffer, factory);  // the first copy arrived whole
        }
        if (std::string(c.fault) == "hangup-after=30") {
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 30, factory.begin()));
            EXPECT_EQ(buffer[30], 0xEE);
        }
    }
}

TEST_F(Protocol, APortThatCannotBeOpenedIsReportedByName)
{
    TSession s("/dev/mox-absent");
    TParamSet buffer{};
    EXPECT_EQ(s.protocol.ReadParameters(buffer), TMoxResult::PortError);
    EXPECT_EQ(s.protocol.SetTime(1, 2, 3), TMoxResult::PortError);
    EXPECT_NE(s.protocol.PortError().find("/dev/mox-absent"), std::string::npos) << s.protocol.PortError();
    EXPECT_EQ(buffer, TParamSet{});
}
