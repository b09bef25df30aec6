// The programs users start load no window library on their runs without a window: they link
// none, and hand the runs with a window, and the headless station, to internal programs by
// exec, in the same process.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "../support/Process.h"
#include "../support/TempDir.h"
#include "mox/rtl/InternalPrograms.h"

namespace {

const std::string kBin = MOX_BINARY_DIR "/bin/";
constexpr auto npos = std::string::npos;

// What the dynamic loader maps when `program` starts, as ldd lists it.
std::string LoadedLibraries(const std::string& program)
{
    std::string out;
    if (FILE* p = popen(("ldd '" + program + "' 2>&1").c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string Maps(const ChildProcess& p) { return ReadBytes("/proc/" + std::to_string(p.Pid()) + "/maps"); }

std::string Executable(const ChildProcess& p)
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/" + std::to_string(p.Pid()) + "/exe", ec).filename().string();
}

bool Within(int milliseconds, const std::function<bool()>& done)
{
    for (int waited = 0; !done(); waited += 50) {
        if (waited > milliseconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

class LeanStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteBytes(ini, "[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\nBilder=" + dir / "bilder" +
                            "\r\n[COM-Port]\r\nPort=" + dir / "kein-geraet" + "\r\n");
    }
    TempDir dir;
    std::string ini = dir / "mox.ini", out = dir / "out.txt";
    // No display: the windows draw offscreen, "LOG" runs headless.
    std::vector<std::string> env{"MOX_INI=" + ini, "QT_QPA_PLATFORM=offscreen"};
};

}  // namespace

TEST_F(LeanStart, TheOneShotImageAndTheUnattendedConversionLoadNoQtAndNoMqtt)
{
    for (const char* program : {"MOX_View", "MOX_Convert"}) {
        SCOPED_TRACE(program);
        const std::string libs = LoadedLibraries(kBin + program);
        ASSERT_NE(libs.find("libmoxrtl.so => "), npos) << libs;
        EXPECT_EQ(libs.find("libQt6"), npos) << libs;
        // The MQTT client would bring the TLS libraries, the largest after Qt's.
        EXPECT_EQ(libs.find("libmosquitto"), npos) << libs;
    }
}

TEST_F(LeanStart, TheHeadlessStationMapsNoWidgetLibrary)
{
    ChildProcess station({kBin + "MOX_View", "LOG"}, out, env);
    ASSERT_TRUE(station.Started());
    // Running, and telling that its device is missing: every library it loads is mapped.
    ASSERT_TRUE(Within(10000, [&] { return ReadBytes(out).find("kein-geraet") != npos; })) << ReadBytes(out);
    EXPECT_EQ(Executable(station), "mox-station");
    const std::string maps = Maps(station);
    EXPECT_NE(maps.find("libQt6Core.so"), npos);
    EXPECT_NE(maps.find("libQt6SerialPort.so"), npos);
    EXPECT_EQ(maps.find("libQt6Widgets"), npos);
    EXPECT_EQ(maps.find("libQt6Gui"), npos);
    EXPECT_EQ(maps.find("/platforms/"), npos);
    // The service manager's stop reaches the station that took over the process.
    EXPECT_EQ(station.Stop(SIGTERM, 10000), 0) << ReadBytes(out);
}

TEST_F(LeanStart, RunsWithAWindowBecomeTheWindowPrograms)
{
    for (const auto& [program, window] :
         {std::pair{"MOX_View", "mox-view-window"}, std::pair{"MOX_Convert", "mox-convert-window"}}) {
        SCOPED_TRACE(program);
        ChildProcess run({kBin + program}, out, env);
        ASSERT_TRUE(run.Started());
        EXPECT_TRUE(Within(10000, [&] { return Maps(run).find("/platforms/libqoffscreen") != npos; }))
            << ReadBytes(out);
        EXPECT_EQ(Executable(run), window);
        EXPECT_NE(Maps(run).find("libQt6Widgets"), npos);
        run.Stop(SIGKILL);
    }
}

TEST_F(LeanStart, AProgramWithoutItsWindowProgramSaysSo)
{
    // Nothing installed where a copy outside the build tree would look next.
    const std::filesystem::path installed = std::filesystem::path(InternalProgramPath("?")).parent_path();
    if (std::filesystem::exists(installed / "mox-convert-window")) GTEST_SKIP() << installed << " is installed";
    std::filesystem::copy_file(kBin + "MOX_Convert", dir / "MOX_Convert");
    ChildProcess run({dir / "MOX_Convert"}, out, env);
    EXPECT_EQ(run.Wait(10000), 127);
    EXPECT_NE(ReadBytes(out).find("MOX_Convert: " + (installed / "mox-convert-window").string() + " startet nicht"),
              npos)
        << ReadBytes(out);
}
