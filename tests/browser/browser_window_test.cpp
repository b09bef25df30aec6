// The browser's main window driven as the observer drives it: file list, panes, switches,
// the file watch, zoom windows and the colour setup, with a settings file of its own.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <memory>

#include "../station/window/StationTest.h"
#include "../support/ColourSpot.h"
#include "../support/DayFiles.h"
#include "browser/DiagramForm.h"
#include "browser/FarbDlg.h"
#include "browser/MainForm.h"
#include "widgets/DiagramView.h"

namespace {

std::vector<std::string> Flat(double v)
{
    return Minutes([v](int) { return v; });
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton b)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), b, type == QEvent::MouseButtonRelease ? Qt::NoButton : b,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton)
{
    Mouse(w, QEvent::MouseButtonPress, pos, b);
    Mouse(w, QEvent::MouseButtonRelease, pos, b);
}

class BrowserWindowTest : public StationTest {
protected:
    void SetUp() override
    {
        StationTest::SetUp();
        days = dir / "days";
        std::filesystem::create_directories(days);
    }

    std::unique_ptr<TMainForm> Open(const std::string& moreIni = "")
    {
        WriteIni("[MOX_Browser]\r\nDatenverzeichnis=" + days + "\r\n" + moreIni);
        auto w = std::make_unique<TMainForm>();
        w->show();
        RunFor(50);
        return w;
    }

    void ClickFile(TMainForm& w, const std::string& name)
    {
        QListWidget* list = w.FileListBox();
        const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        Click(list->viewport(), list->visualItemRect(found.first()).center());
    }

    void Write(const std::string& name, double value)
    {
        WriteBytes(days + "/" + name, DayFileText({{"By", Flat(value)}}, "15.06.03"));
    }

    std::string days;
};

TEST_F(BrowserWindowTest, FileListLoadsIntoTheMarkedPane)
{
    Write("20030614.mox", 100);
    Write("20030615.mox", 200);
    WriteBytes(days + "/20030615.txt", "raw log\r\n");
    auto w = Open();
    QStringList names;
    for (int i = 0; i < w->FileListBox()->count(); ++i) names << w->FileListBox()->item(i)->text();
    EXPECT_EQ(names, QStringList({"20030614.mox", "20030615.mox"}));
    EXPECT_EQ(w->ActivePane(), 1);
    EXPECT_FALSE(w->SpeedButton(1)->isHidden());
    EXPECT_TRUE(w->SpeedButton(2)->isHidden());

    ClickFile(*w, "20030614.mox");
    EXPECT_EQ(w->MOX_Diagram1.get_data(1, 1), 100);
    EXPECT_EQ(w->MOX_Diagram1.get_Titel(), "20030614.mox: $ORT1$ ($KOORD1$)");
    EXPECT_EQ(w->PaneFile(1), days + "/20030614.mox");
    EXPECT_EQ(w->Image(1)->Image.Picture.Width(), 451);

    // A click on the lower pane makes it the target of the next file.
    Click(w->Image(2), {100, 100});
    EXPECT_EQ(w->ActivePane(), 2);
    EXPECT_TRUE(w->SpeedButton(1)->isHidden());
    ClickFile(*w, "20030615.mox");
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1), 200);
    EXPECT_EQ(w->MOX_Diagram1.get_data(1, 1), 100);

    // Files that appear later join the list.
    Write("20030616.mox", 300);
    EXPECT_TRUE(RunUntil([&] { return w->FileListBox()->count() == 3; }, 5000));
}

// Days of a network's archive, one folder per station beside its record: each pane names the
// station its day came from, never this machine's own record.
TEST_F(BrowserWindowTest, EachPaneNamesTheStationOfItsDay)
{
    for (const auto& [station, place] : {std::pair{"Nord", "Kiel"}, {"Sued", "Passau"}}) {
        const std::string folder = days + "/" + station;
        std::filesystem::create_directories(folder);
        WriteBytes(folder + "/station.ini", "[MOX-Header]\r\nOrt=" + std::string(place) + "\r\n");
        WriteBytes(folder + "/20030615.mox",
                   DayFileText({{"By", Flat(100)}}, "15.06.03", place, "Team " + std::string(station)));
    }
    auto w = Open("[MOX-Header]\r\nOrt=Hiesig\r\nAutor=Zentrale\r\nLocator=JO00AA\r\n");
    w->LoadIntoPane(1, days + "/Nord/20030615.mox");
    w->LoadIntoPane(2, days + "/Sued/20030615.mox");
    EXPECT_EQ(w->MOX_Diagram1.generate_title(w->MOX_Diagram1.get_Titel()), "20030615.mox: Kiel (13.0 E, 52.0 N)");
    EXPECT_EQ(w->MOX_Diagram2.generate_title(w->MOX_Diagram2.get_Titel()), "20030615.mox: Passau (13.0 E, 52.0 N)");
    EXPECT_EQ(w->MOX_Diagram2.generate_title("$NAME1$ in $ORT1$"), "Team Sued in Passau");
    for (TMOX_Diagram* d : {&w->MOX_Diagram1, &w->MOX_Diagram2})
        EXPECT_EQ(d->generate_legend(1).find("JO00AA"), std::string::npos) << d->generate_legend(1);
    EXPECT_TRUE(w->LastProblem().isEmpty()) << w->LastProblem().toStdString();
}

TEST_F(BrowserWindowTest, FileWatchReloadsOnlyAChangedFile)
{
    Write("20030615.mox", 200);
    auto w = Open();
    Click(w->Image(2), {100, 100});
    ClickFile(*w, "20030615.mox");
    auto* timer = w->findChild<QTimer*>("Timer2");
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 60000);

    // Unchanged: the pane keeps what the observer did to it.
    w->MOX_Diagram2.set_Offset(1, 77);
    Click(w->Image(1), {100, 100});
    w->Timer2Timer();
    EXPECT_EQ(w->MOX_Diagram2.get_Offset(1), 77);
    EXPECT_EQ(w->ActivePane(), 1);

    // The station's batch rewrites the file: reloaded, and its pane becomes the target.
    Write("20030615.mox", 250);
    w->Timer2Timer();
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1), 250);
    EXPECT_EQ(w->MOX_Diagram2.get_Offset(1), 0);
    EXPECT_EQ(w->ActivePane(), 2);

    // A file that is gone stays on screen; an empty pane has nothing to watch.
    std::filesystem::remove(days + "/20030615.mox");
    w->Timer2Timer();
    w->Timer1Timer();
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1), 250);
    EXPECT_TRUE(w->MOX_Diagram1.is_empty());

    // A file that turns bad is named once and tried again when it changes.
    WriteBytes(days + "/20030615.mox", "TYPE: x\r\n");
    w->Timer2Timer();
    EXPECT_TRUE(w->LastProblem().contains("20030615.mox"));
    Write("20030615.mox", 260);
    w->Timer2Timer();
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1), 260);
}

// A file that stays broken is loaded once per change and does not take the next file click
// away from the pane the observer chose.
TEST_F(BrowserWindowTest, ABrokenFileDoesNotTakeTheActivePane)
{
    Write("20030615.mox", 200);
    Write("20030616.mox", 300);
    auto w = Open();
    ClickFile(*w, "20030615.mox");
    Click(w->Image(2), {100, 100});
    ASSERT_EQ(w->ActivePane(), 2);

    WriteBytes(days + "/20030615.mox", "TYPE: x\r\n");
    w->Timer1Timer();
    EXPECT_TRUE(w->LastProblem().contains("20030615.mox"));
    EXPECT_EQ(w->ActivePane(), 2);
    for (int minute = 0; minute < 3; ++minute) w->Timer1Timer();
    EXPECT_EQ(w->ActivePane(), 2);
    ClickFile(*w, "20030616.mox");
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1), 300);

    // A header without data and an unknown type are no empty day either: told, pane kept.
    const std::string whole = DayFileText({{"By", Flat(220)}}, "15.06.03");
    WriteBytes(days + "/20030615.mox", whole.substr(0, whole.find("DATA:")));
    w->Timer1Timer();
    EXPECT_TRUE(w->LastProblem().contains("endet vorzeitig")) << w->LastProblem().toStdString();
    EXPECT_EQ(w->ActivePane(), 2);
    std::string nine = whole;
    nine.replace(nine.find("TYPE: 1"), 7, "TYPE: 9");
    WriteBytes(days + "/20030615.mox", nine);
    w->Timer1Timer();
    EXPECT_TRUE(w->LastProblem().contains("TYPE '9'")) << w->LastProblem().toStdString();
    EXPECT_EQ(w->ActivePane(), 2);

    // Mended, it is loaded at the next look and its pane is the target again.
    Write("20030615.mox", 210);
    w->Timer1Timer();
    EXPECT_EQ(w->MOX_Diagram1.get_data(1, 1), 210);
    EXPECT_EQ(w->ActivePane(), 1);
}

// The station adds and renames files while the observer looks through a long list: the list
// follows without moving the highlight or the scroll position; the arrow keys load the file
// they arrive at, so the highlighted file is the one on show.
TEST_F(BrowserWindowTest, TheFileListKeepsItsPlaceAndFollowsTheKeys)
{
    for (int d = 10; d < 70; ++d) Write("day" + std::to_string(d) + ".mox", d);
    auto w = Open();
    QListWidget* list = w->FileListBox();
    ASSERT_EQ(list->count(), 60);
    QListWidgetItem* chosen = list->item(30);
    const QString name = chosen->text();
    list->scrollToItem(chosen, QAbstractItemView::PositionAtTop);
    Click(list->viewport(), list->visualItemRect(chosen).center());
    ASSERT_EQ(w->PaneFile(1), days + "/" + name.toStdString());
    const int scroll = list->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    std::filesystem::rename(days + "/" + list->item(50)->text().toStdString(), days + "/zz_renamed.mox");
    Write("zz_new.mox", 1);
    ASSERT_TRUE(RunUntil([&] { return list->findItems("zz_new.mox", Qt::MatchExactly).size() == 1; }, 5000));
    RunFor(100);
    EXPECT_EQ(list->count(), 61);
    ASSERT_TRUE(list->currentItem());
    EXPECT_EQ(list->currentItem()->text(), name);
    EXPECT_TRUE(list->currentItem()->isSelected());
    EXPECT_EQ(list->verticalScrollBar()->value(), scroll);

    const double shown = w->MOX_Diagram1.get_data(1, 1);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    const QString next = list->currentItem()->text();
    EXPECT_NE(next, name);
    EXPECT_EQ(w->PaneFile(1), days + "/" + next.toStdString());
    EXPECT_NE(w->MOX_Diagram1.get_data(1, 1), shown);
}

TEST_F(BrowserWindowTest, SwitchReloadsThePaneWithTheNewSetting)
{
    // A one-minute spike: the noise filter takes it out, the raw file has it.
    std::vector<std::string> lines = Flat(100);
    lines[600] = "180";
    WriteBytes(days + "/20030615.mox", DayFileText({{"By", lines}}, "15.06.03"));
    auto w = Open("Offset-Filter2=0\r\n");
    EXPECT_TRUE(w->FilterCheckBox(2)->isChecked());
    EXPECT_FALSE(w->OffsetFilterCheckBox(2)->isChecked());
    EXPECT_FALSE(w->KorrekturCheckBox(2)->isEnabled());
    Click(w->Image(2), {100, 100});
    ClickFile(*w, "20030615.mox");
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 601), 100);

    Click(w->Image(2), {200, 60}, Qt::RightButton);
    EXPECT_GT(w->MOX_Diagram2.get_Offset(1), 0);
    Click(w->Image(1), {100, 100});

    w->FilterCheckBox(2)->click();
    EXPECT_EQ(w->ActivePane(), 2);
    EXPECT_FALSE(w->MOX_Diagram2.get_is_noisefilter());
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 601), 180);
    EXPECT_EQ(w->MOX_Diagram2.get_Offset(1), 0);  // the load sets the offsets anew
    EXPECT_EQ(w->PaneFile(2), days + "/20030615.mox");

    // With a correction file for the day the C switch can be used.
    WriteBytes(days + "/20030615.kor", "By;12:00;10\r\n");
    ClickFile(*w, "20030615.mox");
    EXPECT_TRUE(w->KorrekturCheckBox(2)->isEnabled());
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1440), 110);
    w->KorrekturCheckBox(2)->click();
    EXPECT_EQ(w->MOX_Diagram2.get_data(1, 1440), 100);
}

TEST_F(BrowserWindowTest, RightClickOnAnEmptyPaneOnlyMarksIt)
{
    auto w = Open();
    Click(w->Image(2), {200, 100}, Qt::RightButton);
    EXPECT_EQ(w->ActivePane(), 2);
    EXPECT_EQ(w->MOX_Diagram2.get_Offset(1), 0);
    // An empty pane opens no zoom window either.
    Mouse(w->Image(2), QEvent::MouseButtonDblClick, {200, 100}, Qt::LeftButton);
    EXPECT_FALSE(w->Zoom(2)->isVisible());
}

TEST_F(BrowserWindowTest, ZoomWindowAndStateAtExit)
{
    Write("20030615.mox", 200);
    auto w = Open("Left2=10\r\nTop2=20\r\nWidth2=640\r\nHeight2=480\r\n");
    EXPECT_EQ(w->Zoom(2)->size(), QSize(640, 480));
    EXPECT_EQ(w->Zoom(1)->size(), QSize(800, 600));

    ClickFile(*w, "20030615.mox");
    Mouse(w->Image(1), QEvent::MouseButtonDblClick, {200, 100}, Qt::LeftButton);
    TDiagramForm* zoom = w->Zoom(1);
    ASSERT_TRUE(zoom->isVisible());
    EXPECT_EQ(zoom->Diagram(), &w->MOX_Diagram1);
    EXPECT_EQ(zoom->windowTitle().toStdString(), "1: " + days + "/20030615.mox - (By) - 15.06.03");
    EXPECT_EQ(zoom->LargeImage()->Image.Picture.Width(), zoom->LargeImage()->width());
    EXPECT_EQ(w->MOX_Diagram1.get_Titel(), "20030615.mox: $ORT1$ ($KOORD1$)");

    Click(zoom->LargeImage(), {300, 100}, Qt::RightButton);
    EXPECT_GT(w->MOX_Diagram1.get_Offset(1), 0);

    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(zoom, &key);
    EXPECT_FALSE(zoom->isVisible());
    EXPECT_EQ(zoom->Diagram(), nullptr);

    // Exit ends the program with a zoom window open: the window goes with it.
    Mouse(w->Image(1), QEvent::MouseButtonDblClick, {200, 100}, Qt::LeftButton);
    ASSERT_TRUE(zoom->isVisible());
    zoom->resize(700, 500);
    w->OffsetFilterCheckBox(1)->click();
    w->findChild<QPushButton*>("QuitButton")->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(zoom->isVisible());
    w.reset();
    const TIniFile ini(this->ini);
    EXPECT_FALSE(ini.ReadBool("MOX_Browser", "Offset-Filter1", true));
    EXPECT_TRUE(ini.ReadBool("MOX_Browser", "Filter1", false));
    EXPECT_EQ(ini.ReadString("MOX_Browser", "Datenverzeichnis", ""), days);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "Width1", 0), 700);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "Width2", 0), 640);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "Top2", 0), 20);
}

// Each colour line stands in the row of its curve button, right beside it.
TEST_F(BrowserWindowTest, ColourLinesStandBesideTheirButtons)
{
    auto w = Open("Color1=16711935\r\nColor2=13158400\r\nColor3=30970\r\nColor4=701450\r\n");
    TFarbDlg* dlg = w->FarbDlg();
    dlg->show();
    const QImage picture = dlg->grab().toImage();
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE(c);
        const TColor t = w->MOX_Diagram1.get_Color(c);
        const auto spot = FindColour(picture, qRgb(t & 0xFF, (t >> 8) & 0xFF, (t >> 16) & 0xFF));
        ASSERT_TRUE(spot);
        const QRect button = RectIn(dlg, dlg->CurveButton(c));
        EXPECT_LE(std::abs(spot->Row - button.center().y()), 1.5) << spot->Row << " " << button.center().y();
        EXPECT_LE(spot->Right, button.left());
        EXPECT_GE(spot->Right, button.left() - 24);
    }
    dlg->hide();
}

TEST_F(BrowserWindowTest, ColourSetupAppliesToBothPanesAndIsKept)
{
    auto w = Open("Color1=12345\r\n");
    EXPECT_EQ(w->MOX_Diagram2.get_Color(1), 12345u);
    TFarbDlg* dlg = w->FarbDlg();
    dlg->show();
    EXPECT_EQ(dlg->windowTitle(), "Color setup");
    EXPECT_EQ(dlg->BkColorBox()->currentText(), "White");
    dlg->ResetButtonClick();
    EXPECT_EQ(w->MOX_Diagram2.get_Color(1), 0x0000FFu);
    dlg->BkColorBox()->setCurrentIndex(dlg->BkColorBox()->findText("Black"));
    dlg->OKButtonClick();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(w->MOX_Diagram1.get_bkColor(), 0u);
    EXPECT_EQ(w->MOX_Diagram2.get_bkColor(), 0u);
    // The panes are drawn in the new background.
    EXPECT_EQ(w->Image(2)->Image.Picture.Pixel(2, 2), 0u);
    const TIniFile ini(this->ini);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "Color1", 0), 255);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "Color2", 0), 8388608);
    EXPECT_EQ(ini.ReadInteger("MOX_Browser", "bkColor", -1), 0);
}

TEST_F(BrowserWindowTest, BrokenFileIsNamedAndTheWindowGoesOn)
{
    WriteBytes(days + "/broken.mox", std::string("TYPE: 1\r\nDATE: 99.99.99\r\n\0\xff", 28));
    Write("20030615.mox", 200);
    auto w = Open();
    ClickFile(*w, "broken.mox");
    EXPECT_TRUE(w->LastProblem().contains(QString::fromStdString(days + "/broken.mox")))
        << w->LastProblem().toStdString();
    ClickFile(*w, "20030615.mox");
    EXPECT_EQ(w->MOX_Diagram1.get_data(1, 1), 200);

    w->findChild<QPushButton*>("HelpButton")->click();
    QWidget* help = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->objectName() == "HelpBrowser") help = t;
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->isVisible());
    help->close();
}

}  // namespace
