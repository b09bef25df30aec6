#include "station/serial/ComPort.h"
#include "station/serial/PortAdvice.h"
#include "tests/devsim/DevSim.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <regex>
#include <termios.h>

namespace {

// Collects what a framer hands out.
struct TCollector {
    std::vector<std::string> packets;
    void Attach(TComDataPacket& framer)
    {
        framer.OnPacket = [this](TComDataPacket*, const std::string& s) { packets.push_back(s); };
    }
};

TComDataPacket* StationFramer(TComPort* port)
{
    auto* framer = new TComDataPacket(port);
    framer->SetSize(70);
    framer->SetStartString("\r");
    framer->SetStopString("\n");
    return framer;
}

// Seconds of the day of a device line "dd.mm.yy hh:mm:ss:..."; -1 if it is none.
int LineSecond(const std::string& line)
{
    static const std::regex form(R"(^\d\d\.\d\d\.\d\d (\d\d):(\d\d):(\d\d):.*)");
    std::smatch m;
    if (!std::regex_match(line, m, form)) return -1;
    return std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
}

}  // namespace

TEST(ComPortNames, MapsStoredNamesToDevices)
{
    EXPECT_EQ(ComPortDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevicePath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(ComPortDevicePath("com2"), "/dev/ttyS1");
    EXPECT_EQ(ComPortDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortDevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(ComPortDevicePath("/tmp/mox-link"), "/tmp/mox-link");
    EXPECT_EQ(ComPortDevicePath("COM0"), "/dev/COM0");
    std::vector<std::string> ports = {"stale"};
    EnumComPorts(ports);
    EXPECT_TRUE(std::find(ports.begin(), ports.end(), "stale") == ports.end());
}

TEST(ComDataPacket, FramesLinesWhateverTheReadsLookLike)
{
    std::unique_ptr<TComDataPacket> framer(StationFramer(nullptr));
    TCollector got;
    got.Attach(*framer);
    const std::string two = "\rfirst line\n\rsecond line\n\rthi";
    framer->HandleData(two.data(), two.size());
    EXPECT_EQ(got.packets, (std::vector<std::string>{"first line", "second line"}));
    // The rest of a line split across reads, noise between lines, a line broken off by the next.
    const std::string rest = "rd line\nnoise\x13\rbroken\rfourth\n";
    framer->HandleData(rest.data(), rest.size());
    EXPECT_EQ(got.packets, (std::vector<std::string>{"first line", "second line", "third line", "fourth"}));
    // Byte by byte.
    got.packets.clear();
    for (char c : std::string("\r15.06.03 12:00:00:  -87\n")) framer->HandleData(&c, 1);
    EXPECT_EQ(got.packets, (std::vector<std::string>{"15.06.03 12:00:00:  -87"}));
}

TEST(ComDataPacket, DropsOverlongPacketsWholeAndRecovers)
{
    std::unique_ptr<TComDataPacket> framer(StationFramer(nullptr));
    TCollector got;
    got.Attach(*framer);
    const std::string exact(70, 'a'), over(71, 'b'), far(300, 'c');
    const std::string bytes = "\r" + exact + "\n\r" + over + "\n\r" + far + "\n\rafter\n";
    // Fed in odd pieces so the limit is crossed inside a read as well as between reads.
    for (std::size_t i = 0; i < bytes.size(); i += 13)
        framer->HandleData(bytes.data() + i, std::min<std::size_t>(13, bytes.size() - i));
    EXPECT_EQ(got.packets, (std::vector<std::string>{exact, "after"}));
}

class ComPortDevice : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

// The station clears the buffers after every packet; several lines arriving in one read must
// still all come out. At 300 lines a second the terminal hands over several per read.
TEST_F(ComPortDevice, DeliversEveryLineThoughTheHandlerClearsBuffers)
{
    TDevSim sim(
        {"--open-quiet", "0", "--speed", "300", "--interval", "1", "--sensors", "2", "--start", "2003-06-15T12:00:00"});
    ASSERT_TRUE(sim.Started());
    TComPort port;
    port.SetPort(sim.Link());
    std::unique_ptr<TComDataPacket> framer(StationFramer(&port));
    std::vector<std::string> lines;
    framer->OnPacket = [&](TComDataPacket*, const std::string& s) {
        lines.push_back(s);
        port.ClearBuffer(true, true);
    };
    ASSERT_TRUE(port.SetConnected(true)) << port.LastError();
    EXPECT_FALSE(port.SetRTS(true));  // a pseudo-terminal has no modem lines; the port stays usable
    EXPECT_TRUE(port.Connected());
    ASSERT_TRUE(PumpUntil([&] { return lines.size() >= 100; }, 15000));
    port.SetConnected(false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_LE(lines[i].size(), 70u);
        ASSERT_NE(LineSecond(lines[i]), -1) << lines[i];
        ASSERT_NE(lines[i].find(" Y,"), std::string::npos) << lines[i];
        ASSERT_NE(lines[i].find(" X,"), std::string::npos) << lines[i];
        if (i > 0) {
            ASSERT_EQ(LineSecond(lines[i]), LineSecond(lines[i - 1]) + 1) << "line lost before " << lines[i];
        }
    }
}

TEST_F(ComPortDevice, GarbageNeverReachesThePacketEventAsALongOrMergedLine)
{
    TDevSim sim({"--open-quiet", "0", "--speed", "300", "--interval", "1", "--fault", "garbage", "--start",
                 "2003-06-15T12:00:00"});
    ASSERT_TRUE(sim.Started());
    TComPort port;
    port.SetPort(sim.Link());
    std::unique_ptr<TComDataPacket> framer(StationFramer(&port));
    TCollector got;
    got.Attach(*framer);
    ASSERT_TRUE(port.SetConnected(true)) << port.LastError();
    ASSERT_TRUE(PumpUntil([&] { return got.packets.size() >= 60; }, 15000));
    port.SetConnected(false);
    std::vector<int> seconds;
    for (const std::string& p : got.packets) {
        EXPECT_LE(p.size(), 70u);
        EXPECT_EQ(p.find_first_of("\r\n"), std::string::npos);
        const int s = LineSecond(p);
        if (s >= 0 && p.find("32.13.03") == std::string::npos && p.find("7777777") == std::string::npos)
            seconds.push_back(s);
    }
    ASSERT_GT(seconds.size(), 20u);
    for (std::size_t i = 1; i < seconds.size(); ++i) EXPECT_EQ(seconds[i], seconds[i - 1] + 1);
}

TEST_F(ComPortDevice, ReportsAHangUpOnceClosesAndOpensAgainLater)
{
    TDevSim sim({"--open-quiet", "0", "--speed", "200", "--interval", "1", "--fault", "hangup-after=400",
                 "--hangup-pause", "0.2"});
    ASSERT_TRUE(sim.Started());
    TComPort port;
    port.SetPort(sim.Link());
    std::unique_ptr<TComDataPacket> framer(StationFramer(&port));
    TCollector got;
    got.Attach(*framer);
    int errors = 0, closes = 0;
    std::string reason;
    port.OnError = [&](const std::string& r) {
        ++errors;
        reason = r;
        EXPECT_FALSE(port.Connected());
    };
    port.OnBeforeClose = [&] { ++closes; };
    ASSERT_TRUE(port.SetConnected(true)) << port.LastError();
    // A terminal without modem lines refuses these; their failure is not the reason of a loss.
    port.SetRTS(true);
    port.SetDTR(true);
    ASSERT_TRUE(PumpUntil([&] { return errors > 0; }, 10000));
    // Until the device is back, a busy-looping read error would show up as more reports.
    ASSERT_TRUE(PumpUntil([&] { return !sim.Terminal().empty(); }, 5000));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_NE(reason.find(sim.Link()), std::string::npos) << reason;
    EXPECT_EQ(reason.find("ioctl"), std::string::npos) << reason;
    // The simulator takes its link away as an unplugged adapter does, or the line hangs up.
    EXPECT_TRUE(reason.find("No such file or directory") != std::string::npos ||
                reason.find("hang-up") != std::string::npos)
        << reason;
    EXPECT_FALSE(got.packets.empty());

    // The device comes back on a new terminal behind the same link.
    const std::size_t before = got.packets.size();
    ASSERT_TRUE(port.SetConnected(true)) << port.LastError();
    EXPECT_TRUE(PumpUntil([&] { return got.packets.size() >= before + 5; }, 5000));
    EXPECT_EQ(errors, 1);
}

TEST_F(ComPortDevice, OpenFailuresNameThePortAndLeaveItUsable)
{
    TComPort missing;
    missing.SetPort("/dev/mox-no-such-port");
    EXPECT_FALSE(missing.SetConnected(true));
    EXPECT_FALSE(missing.Connected());
    EXPECT_NE(missing.LastError().find("/dev/mox-no-such-port"), std::string::npos) << missing.LastError();
    EXPECT_EQ(missing.Read(nullptr, 0), 0);

    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    TComPort a, b;
    a.SetPort(sim.Link());
    b.SetPort(sim.Link());
    ASSERT_TRUE(a.SetConnected(true)) << a.LastError();
    EXPECT_FALSE(b.SetConnected(true));  // the line is taken
    EXPECT_NE(b.LastError().find(sim.Link()), std::string::npos) << b.LastError();
    EXPECT_NE(b.LastError().find("von einem anderen Programm benutzt"), std::string::npos) << b.LastError();
    a.SetConnected(false);
    EXPECT_TRUE(b.SetConnected(true)) << b.LastError();
}

TEST_F(ComPortDevice, ReadReturnsWhatCameOrNothingAfterTheTimeOut)
{
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    TComPort port;
    port.SetPort(sim.Link());
    int opened = 0;
    port.OnAfterOpen = [&] { ++opened; };
    ASSERT_TRUE(port.SetConnected(true));
    EXPECT_EQ(opened, 1);
    // A read command: the device answers with 102 bytes, which arrive in one or a few pieces.
    const unsigned char command[3] = {0x03, 0xFF, 0x1B};
    EXPECT_EQ(port.Write(command, 3), 3);
    unsigned char reply[200];
    EXPECT_EQ(port.Read(reply, 102), 102);
    EXPECT_TRUE(std::equal(reply, reply + 51, reply + 51));
    // Silence: nothing, after the whole time-out.
    port.SetReadTimeouts(100, 200);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(port.Read(reply, 1), 0);
    EXPECT_GE(t.elapsed(), 200);
    // Asking for more than comes: the short answer ends by the pause after its last byte,
    // long before the total time-out.
    port.SetReadTimeouts(100, 5000);
    EXPECT_EQ(port.Write(command, 3), 3);
    t.restart();
    EXPECT_EQ(port.Read(reply, 200), 102);
    EXPECT_LT(t.elapsed(), 5000);
}

TEST(TComPort, ClosingHandsOutLinesThatHaveArrived)
{
    TestApp();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    termios raw;
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    // A second descriptor of the terminal, opened before the port takes it exclusively, tells
    // when the bytes have arrived.
    const int watch = open(ptsname(master), O_RDONLY | O_NOCTTY);
    ASSERT_GE(watch, 0);
    TComPort port;
    port.SetPort(ptsname(master));
    std::unique_ptr<TComDataPacket> framer(StationFramer(&port));
    TCollector got;
    got.Attach(*framer);
    ASSERT_TRUE(port.SetConnected(true)) << port.LastError();
    // The lines arrive, but the event loop does not run before the port closes.
    const std::string lines = "\rone\n\rtwo\n\rthree\n\rcut";
    ASSERT_EQ(write(master, lines.data(), lines.size()), ssize_t(lines.size()));
    QElapsedTimer t;
    t.start();
    int queued = 0;
    while ((ioctl(watch, FIONREAD, &queued) != 0 || queued < int(lines.size())) && t.elapsed() < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(queued, int(lines.size()));
    port.SetConnected(false);
    EXPECT_EQ(got.packets, (std::vector<std::string>{"one", "two", "three"}));
    close(watch);
    close(master);
}

// A port refused for lack of permission says how to get it; the group is the device's own,
// or Debian's serial port group when the device belongs to root's group or does not exist.
TEST(ComPortPermission, AdviceNamesTheGroupAndTheWayIn)
{
    const std::string none = PortPermissionAdvice("/dev/mox-no-such-port");
    EXPECT_NE(none.find("Gruppe \"dialout\""), std::string::npos) << none;
    EXPECT_NE(none.find("sudo adduser $USER dialout"), std::string::npos) << none;
    EXPECT_NE(none.find("wieder anmelden"), std::string::npos) << none;

    char name[] = "/tmp/mox-port-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const group* g = getgrgid(getegid());
    ASSERT_TRUE(g);
    const std::string own = g->gr_name;
    const std::string advice = PortNoPermissionText(name, "Permission denied");
    EXPECT_EQ(advice.rfind(std::string(name) + ": keine Berechtigung", 0), 0u) << advice;
    EXPECT_NE(advice.find("(Permission denied)"), std::string::npos) << advice;
    if (getegid() == 0) {
        EXPECT_NE(advice.find("sudo adduser $USER dialout"), std::string::npos) << advice;
        if (const group* tty = getgrnam("tty"); tty && chown(name, -1, tty->gr_gid) == 0) {
            EXPECT_NE(PortPermissionAdvice(name).find("sudo adduser $USER tty"), std::string::npos);
        }
    } else {
        EXPECT_NE(advice.find("sudo adduser $USER " + own), std::string::npos) << advice;
    }
    unlink(name);
}

// Without the right to the device the real port gives the advice (not testable as root, who
// may open anything).
TEST_F(ComPortDevice, ARefusedPortSaysHowToGetAccess)
{
    if (geteuid() == 0) GTEST_SKIP() << "root may open every device";
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    char target[PATH_MAX] = {};
    ASSERT_GT(readlink(sim.Link().c_str(), target, sizeof target - 1), 0);
    ASSERT_EQ(chmod(target, 0), 0);
    TComPort port;
    port.SetPort(sim.Link());
    EXPECT_FALSE(port.SetConnected(true));
    EXPECT_NE(port.LastError().find("keine Berechtigung"), std::string::npos) << port.LastError();
    EXPECT_NE(port.LastError().find("sudo adduser $USER"), std::string::npos) << port.LastError();
    chmod(target, 0600);
}
