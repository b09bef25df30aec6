// A network's archive opened in the station window: each station's raw logs are converted, drawn
// and exported with that station's own record and code, while the window keeps this station's
// record for its own days.
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>
#include <tuple>

#include "StationTest.h"
#include "station/MainWindow.h"
#include "station/app/OneShotImage.h"
#include "station/dialogs/CurveDialogParts.h"
#include "station/dialogs/Diagramm_LadenDlg.h"
#include "station/dialogs/IagaCommands.h"

namespace {

std::string RawLog()
{
    std::string text;
    for (int m = 0; m < 60; ++m)
        text += "15.06.03 12:" + std::string(m < 10 ? "0" : "") + std::to_string(m) + ":10:  5\r\n";
    return text;
}

class ArchiveWindow : public StationTest {
protected:
    void SetUp() override
    {
        StationTest::SetUp();
        WriteIni("[Diagram]\r\nWidth=700\r\nHeight=500\r\n[MOX-Header]\r\nAutor=Zentrale\r\nOrt=Hiesig\r\n"
                 "Remarks=Sonde 2\r\n[IAGA]\r\nCode=LOC\r\n[Verzeichnisse]\r\nBilder=" +
                 dir / "images" + "\r\n");
        Station("Nord", "Autor=Team Nord\r\nOrt=Kiel\r\n[IAGA]\r\nCode=NRD\r\n");
        Station("Sued", "Ort=Passau\r\n1-Sensor=2\r\n[IAGA]\r\nCode=SUD\r\n");
        Station("West", "Ort=Aachen\r\n");
        std::filesystem::create_directories(dir / "own");
        WriteBytes(dir / "own/20030615.txt", RawLog());
        window = std::make_unique<TMain>(QStringList{});
        window->show();
        RunFor(50);
    }

    void Station(const std::string& name, const std::string& record)
    {
        std::filesystem::create_directories(dir / name);
        WriteBytes(dir / (name + "/station.ini"), "[MOX-Header]\r\n" + record);
        WriteBytes(dir / (name + "/20030615.txt"), RawLog());
    }

    // The load dialog with the component chosen by the day file.
    void Load(const std::string& file)
    {
        TDiagramm_LadenDlg& dlg = *window->Diagramm_LadenDlg;
        dlg.OpenFile = [file](const QString&) { return QString::fromStdString(file); };
        dlg.ShowError = [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
        dlg.show();
        dlg.Vector_RadioGroup->SetItemIndex(4);
        dlg.OK_Button->click();
    }

    std::unique_ptr<TMain> window;
};

}  // namespace

TEST_F(ArchiveWindow, EachStationsDaysCarryItsOwnRecordAndCode)
{
    TMOX_Diagram& d = window->Diagram;
    // Loaded through the load dialog: converted with the station's record, the component of its
    // one sensor, and without this station's remark.
    Load(dir / "Nord/20030615.txt");
    const std::string nord = ReadBytes(dir / "Nord/20030615.mox");
    for (const char* line : {"LOCATION: Kiel\r\n", "AUTHOR: Team Nord\r\n", "REMARKS: \r\n", "TYPEDESCRIPTION: By\r\n"})
        EXPECT_NE(nord.find(line), std::string::npos) << line << nord.substr(0, 300);
    EXPECT_EQ(d.get_Header(1).Location, "Kiel");
    // The window's own record stays its own, and so do the days of its own folder.
    EXPECT_EQ(d.get_Ort(), "Hiesig");
    EXPECT_EQ(d.get_Bemerkung(), "Sonde 2");
    Load(dir / "own/20030615.txt");
    const std::string own = ReadBytes(dir / "own/20030615.mox");
    EXPECT_NE(own.find("LOCATION: Hiesig\r\n"), std::string::npos);
    EXPECT_NE(own.find("REMARKS: Sonde 2\r\n"), std::string::npos);

    // The one-shot picture of another station's raw log: its day file carries that station too.
    const std::string err = dir / "oneshot.err";
    std::FILE* out = std::fopen((dir / "oneshot.out").c_str(), "w");
    std::FILE* errors = std::fopen(err.c_str(), "w");
    EXPECT_EQ(RunOneShotImage(d, TIniFile(ini), false, dir / "Sued/20030615.txt", {400, 250}, out, errors), oneShotOk);
    std::fclose(out);
    std::fclose(errors);
    const std::string sued = ReadBytes(dir / "Sued/20030615.mox");
    EXPECT_NE(sued.find("LOCATION: Passau\r\n"), std::string::npos) << ReadBytes(err);
    EXPECT_NE(sued.find("TYPEDESCRIPTION: Bz\r\n"), std::string::npos);
    EXPECT_EQ(sued.find("Zentrale"), std::string::npos);
    EXPECT_EQ(d.get_Ort(), "Hiesig");
    EXPECT_EQ(d.get_1sensor_vec(), vecBy);

    // The shown days exported: each under its station's code, none under this one's; a station
    // whose record names no code is not exported and says where the code is missing.
    Load(dir / "West/20030615.txt");
    d.LoadData(dir / "Nord/20030615.mox", 0, 2);
    d.LoadData(dir / "Sued/20030615.mox", 0, 3);
    d.LoadData(dir / "own/20030615.mox", 0, 4);
    TIagaCommands& iaga = *window->IagaCommands;
    std::vector<std::pair<std::string, bool>> told;
    iaga.Tell = [&told](const std::string& text, bool error) { told.push_back({text, error}); };
    iaga.ChooseFolder = [this](const std::string&) { return dir / "share"; };
    iaga.AskCode = [] { return std::string(); };
    iaga.ExportClick();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].second);
    EXPECT_NE(told[0].first.find(dir / "West/station.ini"), std::string::npos) << told[0].first;
    for (const auto& [file, name, code] :
         {std::tuple{"nrd", "Kiel", "NRD"}, {"sud", "Passau", "SUD"}, {"loc", "Hiesig", "LOC"}}) {
        const std::string text = ReadBytes(dir / ("share/" + std::string(file) + "20030615vmin.min"));
        EXPECT_NE(text.find(" Station Name           " + std::string(name) + " "), std::string::npos) << file;
        EXPECT_NE(text.find(" IAGA CODE              " + std::string(code) + " "), std::string::npos) << file;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "share"), {}), 3);
}
