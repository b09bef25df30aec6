#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "../../iaga/IagaFiles.h"
#include "StationTest.h"
#include "mox/rtl/IniFile.h"
#include "station/MainWindow.h"
#include "station/dialogs/IagaCommands.h"

namespace {

QAction* MenuEntry(TMain& w, const QString& menu, const QString& entry)
{
    for (QAction* m : w.menuBar()->actions())
        if (m->text() == menu && m->menu())
            for (QAction* a : m->menu()->actions())
                if (a->text() == entry) return a;
    return nullptr;
}

class IagaWindow : public StationTest {
protected:
    void SetUp() override
    {
        StationTest::SetUp();
        WriteIni("[Diagram]\r\nWidth=700\r\nHeight=500\r\n");
        window = std::make_unique<TMain>(QStringList{});
        window->show();
        RunFor(50);
        TIagaCommands& c = *window->IagaCommands;
        c.Tell = [this](const std::string& text, bool error) { told.push_back({text, error}); };
        c.ChooseFile = [this](const std::string& folder) {
            chooserFolders.push_back(folder);
            return nextFile;
        };
        c.ChooseFolder = [this](const std::string&) { return nextFolder; };
        c.AskCode = [this] {
            ++codeQuestions;
            return std::string("plv");
        };
    }

    std::unique_ptr<TMain> window;
    std::vector<std::pair<std::string, bool>> told;
    std::vector<std::string> chooserFolders;
    std::string nextFile, nextFolder;
    int codeQuestions = 0;
};

}  // namespace

TEST_F(IagaWindow, ImportLoadsTheObservatoryDayAndExportSharesIt)
{
    TMain& w = *window;
    QAction* import = MenuEntry(w, "Konvertieren", "IAGA-2002 -> *.MOX");
    QAction* exportDay = MenuEntry(w, "Datei", "Als IAGA-2002 exportieren...");
    ASSERT_TRUE(import && exportDay);

    // Nothing loaded yet: nothing to export.
    exportDay->trigger();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].second);

    std::filesystem::copy_file(RealUsgs("bou20141101vmin.min"), dir / "bou20141101vmin.min");
    nextFile = dir / "bou20141101vmin.min";
    import->trigger();
    ASSERT_EQ(told.size(), 1u) << told.back().first;
    const std::string day = dir / "bou20141101.mox";
    ASSERT_TRUE(std::filesystem::exists(day));
    for (int c = 1; c <= 4; ++c) EXPECT_TRUE(w.Diagram.is_loaded(c)) << c;
    EXPECT_EQ(w.Diagram.get_Header(1).FileName, day);
    EXPECT_EQ(w.Diagram.get_Header(1).Location, "Boulder");
    EXPECT_EQ(w.Diagram.get_data(1, 1), 20874);  // Bx at 00:00
    EXPECT_EQ(w.Diagram.get_data(4, 1), 52397);  // B at 00:00
    EXPECT_EQ(TIniFile(ini).ReadString("IAGA", "Import-Data", ""), dir.str());

    // The station's code is asked once and kept.
    nextFolder = dir / "share";
    exportDay->trigger();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_FALSE(told[1].second) << told[1].first;
    const std::string shared = dir / "share/plv20141101vmin.min";
    EXPECT_NE(told[1].first.find(shared), std::string::npos);
    EXPECT_EQ(codeQuestions, 1);
    EXPECT_EQ(TIniFile(ini).ReadString("IAGA", "Code", ""), "plv");
    const std::vector<std::string> lines = Lines(ReadBytes(shared));
    ASSERT_EQ(lines.size(), 12u + 1 + 1 + 1440);
    EXPECT_EQ(lines.back().substr(0, 30), "2014-11-01 23:59:00.000 305   ");
    EXPECT_EQ(lines[14].substr(0, 40), "2014-11-01 00:00:00.000 305     20874.00");
    exportDay->trigger();
    EXPECT_EQ(codeQuestions, 1);

    // A file the station cannot use leaves the diagram as it was.
    nextFile = RealUsgs("LLO20200106vmin.min");
    import->trigger();
    ASSERT_EQ(told.size(), 4u);
    EXPECT_TRUE(told[3].second);
    EXPECT_NE(told[3].first.find("U, V, W"), std::string::npos);
    EXPECT_EQ(w.Diagram.get_Header(1).FileName, day);
    EXPECT_EQ(chooserFolders.back(), dir.str());
}
