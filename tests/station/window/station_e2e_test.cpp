// The station as a service runs it: MOX_View LOG as its own process on the simulated device,
// with the batch every minute, no display at all, and an upload script.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QProcess>
#include <filesystem>

#include "../../devsim/DevSim.h"
#include "StationTest.h"

namespace {

bool Exists(const std::string& f) { return std::filesystem::exists(f); }

using StationProcess = StationTest;

}  // namespace

TEST_F(StationProcess, PublishesEveryMinuteAndEndsTheUploadAfterItsLimit)
{
    TDevSim sim({"--speed", "60", "--interval", "10", "--sensors", "2"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data", web = dir / "web";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(web);
    WriteBytes(web + "/Header.txt", "<html><body><pre>\r\n");
    WriteBytes(web + "/Footer.txt", "</pre></body></html>\r\n");
    const std::string script = UploadScript();
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + web + "\r\n[COM-Port]\r\nPort=" +
             sim.Link() + "\r\n[Batch]\r\nIntervall=1\r\nBildformat=1\r\nVorschau=1\r\nFTP-Kommando=" + script +
             "\r\nFTP-Intervall=1\r\nFTP-Timeout=3\r\n");

    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MOX_INI", QString::fromStdString(ini));
    // No display and no platform named: the station runs without any of Qt's windowing.
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    station.setProcessEnvironment(env);
    station.setProcessChannelMode(QProcess::ForwardedChannels);
    station.start(MOX_BINARY_DIR "/bin/MOX_View", {"LOG"});
    ASSERT_TRUE(station.waitForStarted(5000));

    // The port is open once the day log has its first lines.
    ASSERT_TRUE(RunUntil([&] { return !std::filesystem::is_empty(data); }, 10000));
    const std::string maps = ReadBytes("/proc/" + std::to_string(station.processId()) + "/maps");
    EXPECT_EQ(maps.find("/platforms/"), std::string::npos) << "a Qt platform plugin is loaded";
    EXPECT_EQ(maps.find("libQt6Widgets"), std::string::npos) << "a widget library is loaded";

    const std::string upload = UploadPid();
    ASSERT_TRUE(RunUntil([&] { return Exists(upload); }, 100000)) << "no batch within the first 100 s";
    for (const char* f : {"/mox_data.jpg", "/mox_small.jpg", "/mox_data.wap", "/mox_data_wap.png", "/mox_data_wap.txt",
                          "/mox_data.htm"})
        EXPECT_TRUE(Exists(web + f)) << f;
    EXPECT_EQ(ReadBytes(web + "/mox_data.htm").rfind("<html><body><pre>\r\n\"", 0), 0u);
    EXPECT_TRUE(Running(upload));
    EXPECT_TRUE(RunUntil([&] { return !Running(upload); }, 6000)) << "upload not ended at its limit";
    // The station's day log kept growing meanwhile.
    EXPECT_FALSE(std::filesystem::is_empty(data));

    station.terminate();
    EXPECT_TRUE(station.waitForFinished(10000));
}
