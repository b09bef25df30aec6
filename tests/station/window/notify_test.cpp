// The station as a service manager sees it: MOX_View LOG as its own process, with a notify
// socket of the test's own and stderr in a file that stands in for the journal's stream.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <memory>
#include <sstream>

#include "../../devsim/DevSim.h"
#include "StationTest.h"

namespace {

class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : path(path)
    {
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        bound = fd >= 0 && path.size() < sizeof addr.sun_path &&
                bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket()
    {
        if (fd >= 0) close(fd);
    }
    // Collects messages until `done` holds or the time is up.
    bool ReceiveUntil(const std::function<bool()>& done, int milliseconds)
    {
        return RunUntil(
            [&] {
                pollfd p = {fd, POLLIN, 0};
                char buf[4096];
                while (poll(&p, 1, 0) > 0) {
                    const ssize_t n = recv(fd, buf, sizeof buf, 0);
                    if (n <= 0) break;
                    messages.emplace_back(buf, std::size_t(n));
                }
                return done();
            },
            milliseconds);
    }
    long Count(const std::string& message) const { return std::count(messages.begin(), messages.end(), message); }
    bool Has(const std::string& prefix, const std::string& part = "") const
    {
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& m) {
            return m.rfind(prefix, 0) == 0 && m.find(part) != std::string::npos;
        });
    }
    std::string Statuses() const
    {
        std::string all;
        for (const std::string& m : messages)
            if (m.rfind("STATUS=", 0) == 0) all += m + "\n";
        return all;
    }

    std::string path;
    int fd = -1;
    bool bound = false;
    std::vector<std::string> messages;
};

class ServiceProcess : public StationTest {
protected:
    void Start(const std::string& port, const QStringList& extraEnv, const std::string& iniExtra = "")
    {
        WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + port + "\r\n" +
                 iniExtra);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MOX_INI", QString::fromStdString(ini));
        env.insert("NOTIFY_SOCKET", QString::fromStdString(notify.path));
        env.remove("JOURNAL_STREAM");
        for (const QString& e : extraEnv) env.insert(e.section('=', 0, 0), e.section('=', 1));
        station.setProcessEnvironment(env);
        station.setStandardErrorFile(QString::fromStdString(errFile));
        station.start(MOX_BINARY_DIR "/bin/MOX_View", {"LOG"});
        ASSERT_TRUE(station.waitForStarted(5000));
    }
    void TearDown() override
    {
        if (station.state() != QProcess::NotRunning) {
            station.terminate();
            station.waitForFinished(10000);
        }
    }
    // The journal's stream names the file by device and inode.
    QString JournalStream()
    {
        WriteBytes(errFile, "");
        struct stat st;
        stat(errFile.c_str(), &st);
        return QString("JOURNAL_STREAM=%1:%2").arg(st.st_dev).arg(st.st_ino);
    }

    std::string errFile = dir / "stderr.txt";
    NotifySocket notify{dir / "notify"};
    QProcess station;
};

}  // namespace

TEST_F(ServiceProcess, ReadyWatchdogAndEveryReportWithJournalPriorities)
{
    ASSERT_TRUE(notify.bound) << notify.path;
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    Start(sim.Link(), {"WATCHDOG_USEC=200000", JournalStream()}, "Stille-Sekunden=1\r\n[Batch]\r\nIntervall=99999\r\n");

    ASSERT_TRUE(notify.ReceiveUntil([&] { return notify.Count("READY=1") == 1; }, 10000)) << notify.Statuses();
    EXPECT_TRUE(notify.Has("STATUS=Loggen, noch keine Zeile")) << notify.Statuses();
    // Half the watchdog time between pings: several in a few seconds while the loop runs.
    ASSERT_TRUE(notify.ReceiveUntil([&] { return notify.Has("STATUS=", "Keine Daten seit"); }, 15000))
        << notify.Statuses();
    ASSERT_TRUE(notify.ReceiveUntil([&] { return notify.Count("WATCHDOG=1") >= 8; }, 15000));
    EXPECT_EQ(notify.Count("READY=1"), 1);

    station.terminate();
    ASSERT_TRUE(station.waitForFinished(10000));
    notify.ReceiveUntil([&] { return notify.Has("STOPPING=1"); }, 2000);
    EXPECT_TRUE(notify.Has("STOPPING=1"));
    // The alarm is told once, with the journal's warning prefix, however often the port is
    // opened anew; every line on the stream carries a priority.
    const std::string err = ReadBytes(errFile);
    std::size_t told = 0;
    for (std::size_t p = 0; (p = err.find("<4>Keine Daten seit ", p)) != std::string::npos; ++p) ++told;
    EXPECT_EQ(told, 1u) << err;
    // So is a setting out of range, as every other report.
    EXPECT_NE(err.find("<4>" + ini + ": [Batch] Intervall=99999 liegt nicht zwischen 1 und 30"), std::string::npos)
        << err;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind('<', 0), 0u) << line;
}

TEST_F(ServiceProcess, StatusNamesTheLastLineAndALostDevice)
{
    ASSERT_TRUE(notify.bound) << notify.path;
    auto sim = std::make_unique<TDevSim>(std::vector<std::string>{"--interval", "1", "--speed", "10"});
    ASSERT_TRUE(sim->Started());
    Start(sim->Link(), {});
    ASSERT_TRUE(notify.ReceiveUntil([&] { return notify.Has("STATUS=Loggen, letzte Zeile ", " UTC"); }, 15000))
        << notify.Statuses();
    EXPECT_EQ(notify.Count("READY=1"), 1);
    EXPECT_EQ(notify.Count("WATCHDOG=1"), 0);  // no watchdog asked for

    sim.reset();
    ASSERT_TRUE(notify.ReceiveUntil([&] { return notify.Has("STATUS=Gerät getrennt, neuer Versuch alle 3 s"); }, 15000))
        << notify.Statuses();
    station.terminate();
    ASSERT_TRUE(station.waitForFinished(10000));
    // Not under the journal: plain messages naming the program.
    const std::string err = ReadBytes(errFile);
    EXPECT_NE(err.find("MOX_View: Keine Verbindung zum Gerät"), std::string::npos) << err;
    EXPECT_EQ(err.find("<4>"), std::string::npos) << err;
}
