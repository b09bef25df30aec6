// A new logging station: the first start asks for the record and the port, and both are in
// use at once; until then every program that writes the record says it is a placeholder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <filesystem>

#include "../../devsim/DevSim.h"
#include "RecordedLines.h"
#include "StationTest.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "station/MainWindow.h"
#include "station/app/FirstStart.h"
#include "station/dialogs/FirstStartDlg.h"

namespace {

using FirstStart = StationTest;

std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& ending)
{
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.path().string().size() > ending.size() &&
            e.path().string().compare(e.path().string().size() - ending.size(), ending.size(), ending) == 0)
            found.push_back(e.path());
    return found;
}

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

ProgramRun RunProgram(const QString& program, const QStringList& args, const std::string& ini)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MOX_INI", QString::fromStdString(ini));
    p.setProcessEnvironment(env);
    p.start(QString(MOX_BINARY_DIR "/bin/") + program, args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

// A station that has run before but never had its record set: the station, the converter and
// the exchange export each say once that the files carry the placeholder.
TEST_F(FirstStart, ThePlaceholderRecordIsToldByEveryProgramThatWritesIt)
{
    TDevSim sim({"--speed", "30", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data";
    // Folders that exist: their making would be the latest word.
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(dir / "images");
    WriteIni("[Diagram]\r\nWidth=600\r\n[COM-Port]\r\nPort=" + sim.Link() + "\r\n[Verzeichnisse]\r\nDatenverzeichnis=" +
             data + "\r\nBilder=" + dir / "images" + "\r\n[IAGA]\r\nCode=PLV\r\n");
    TakeSettingNotes();
    {
        TMain w({"LOG"});
        w.show();
        ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty() && Lines(w.LogFileName()).size() >= 3; }, 10000));
        EXPECT_TRUE(w.LastProblem().contains("Platzhalter")) << w.LastProblem().toStdString();
        EXPECT_TRUE(w.LastProblem().contains("[MOX-Header]")) << w.LastProblem().toStdString();
        w.close();
    }
    const ProgramRun convert = RunProgram("MOX_Convert", {"auto", QString::fromStdString(data)}, ini);
    EXPECT_EQ(convert.exitCode, 0) << convert.err.toStdString();
    EXPECT_EQ(convert.err.count("Platzhalter"), 1) << convert.err.toStdString();
    const std::vector<std::string> days = FilesEndingIn(data, ".mox");
    ASSERT_FALSE(days.empty());
    const ProgramRun iaga = RunProgram(
        "mox-iaga", {"export", QString::fromStdString(days[0]), "--out", QString::fromStdString(dir / "iaga")}, ini);
    EXPECT_EQ(iaga.exitCode, 0) << iaga.err.toStdString();
    EXPECT_EQ(iaga.err.count("Platzhalter"), 1) << iaga.err.toStdString();
    EXPECT_TRUE(iaga.err.startsWith("mox-iaga: ")) << iaga.err.toStdString();

    // With the station's own record the converter says nothing of the kind.
    TIniFile(ini).WriteString("MOX-Header", "Autor", "Schule");
    TIniFile(ini).WriteString("MOX-Header", "Ort", "Lindenberg");
    const ProgramRun own = RunProgram("MOX_Convert", {"auto", QString::fromStdString(data)}, ini);
    EXPECT_FALSE(own.err.contains("Platzhalter")) << own.err.toStdString();
}

TEST_F(FirstStart, TheRecordAndThePortEnteredAreInTheNextBatchsFiles)
{
    TDevSim sim({"--speed", "30", "--interval", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string data = dir / "data", images = dir / "images";
    // The default port names a device that is not this one.
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + data + "\r\nBilder=" + images + "\r\n");
    TMain w({"LOG"});
    w.show();
    RunFor(100);

    QStringList problems;
    QTimer filler;
    filler.setInterval(20);
    QObject::connect(&filler, &QTimer::timeout, [&] {
        auto* dlg = dynamic_cast<TFirstStartDlg*>(QApplication::activeModalWidget());
        if (!dlg) return;
        if (dlg->AutorEdit->text() == "MOX-Station") {
            // OK with the placeholder is refused with a reason in the box.
            dlg->OK_ButtonClick();
            problems << dlg->ProblemLabel->text();
            dlg->AutorEdit->setText("Schul-AG Physik");
            dlg->OrtEdit->setText("Lindenberg");
            dlg->LaengeEdit->setText("14.12 E");
            dlg->BreiteEdit->setText("52.21 N");
            dlg->PortBox->setEditText(QString::fromStdString(sim.Link()));
            return;
        }
        dlg->OK_ButtonClick();
    });
    filler.start();
    w.IntroducePlaceholderRecord();
    filler.stop();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("Platzhalter")) << problems[0].toStdString();

    // Lines flow from the new port without a restart.
    ASSERT_TRUE(RunUntil([&] { return !w.LogFileName().empty() && Lines(w.LogFileName()).size() >= 3; }, 10000))
        << w.LastProblem().toStdString();
    w.Runtime()->RunBatch();
    const std::vector<std::string> days = FilesEndingIn(data, ".mox");
    ASSERT_FALSE(days.empty());
    for (const std::string& day : days) {
        const std::string text = ReadBytes(day);
        EXPECT_NE(text.find("LOCATION: Lindenberg"), std::string::npos) << day;
        EXPECT_NE(text.find("AUTHOR: Schul-AG Physik"), std::string::npos) << day;
        EXPECT_NE(text.find("LOCATOR: JO72BF"), std::string::npos) << day;
    }
    const TIniFile stored(ini);
    EXPECT_EQ(stored.ReadString("COM-Port", "Port", ""), sim.Link());
    EXPECT_EQ(stored.ReadString("MOX-Header", "Ort", ""), "Lindenberg");
    w.close();
}

TEST(FirstStartAnswers, DevicesByIdAreOfferedSorted)
{
    TempDir dir;
    EXPECT_TRUE(SerialDevicesById(dir / "missing").empty());
    for (const char* name : {"usb-FTDI_FT232R-if00-port0", "usb-Arduino_Uno-if00"}) WriteBytes(dir / name, "");
    EXPECT_EQ(SerialDevicesById(dir.str()),
              (std::vector<std::string>{dir / "usb-Arduino_Uno-if00", dir / "usb-FTDI_FT232R-if00-port0"}));
    FirstStartAnswers a{"Schule", "Görlitz", "15.0 O", "51.15 N", "", "ttyUSB0"};
    EXPECT_EQ(FirstStartProblem(a), "");
    a.Breite = "Norden";
    EXPECT_NE(FirstStartProblem(a).find("Breite"), std::string::npos);
    a.Breite = "51.15 N";
    a.Port = " ";
    EXPECT_NE(FirstStartProblem(a).find("Port"), std::string::npos);
}
