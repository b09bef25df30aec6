// The converter's real window without a display: folder choice through its tree, status
// icons, the two buttons, busy and progress feedback, failures, help and about box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <cstdlib>
#include <functional>

#include "ConvertFiles.h"
#include "convert/ConvertForm.h"

namespace {

QApplication* WindowApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "convert_window_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

// Runs the event loop until done() or the time is up, sleeping between events.
bool RunUntil(const std::function<bool()>& done, int milliseconds = 10000)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(10);
    while (!done() && t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

class ConvertWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowApp();
        setenv("MOX_INI", (dir / "mox.ini").c_str(), 1);
        WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nOrt=Fensterdorf\r\n");
        std::filesystem::create_directory(dir / "logs");
    }

    void Open()
    {
        form = std::make_unique<TConvertForm>();
        form->show();
        tree = Child<QTreeView>("ShellTreeView");
        list = Child<QListWidget>("ListView");
        convert = Child<QPushButton>("ConvertButton");
        update = Child<QPushButton>("UpdateButton");
        memo = Child<QPlainTextEdit>("Memo");
    }

    template <class W>
    W* Child(const char* name)
    {
        W* w = form->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // Chooses a folder as the observer does: by making it the tree's current folder.
    void Choose(const std::string& folder)
    {
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        const QModelIndex index = model->index(QString::fromStdString(folder));
        ASSERT_TRUE(index.isValid()) << folder;
        tree->setCurrentIndex(index);
    }

    // Presses a run's button and waits until the run is over.
    void Press(QPushButton* button)
    {
        button->click();
        ASSERT_TRUE(RunUntil([] { return QApplication::overrideCursor() == nullptr; }));
    }

    qint64 IconOf(int row) { return list->item(row)->icon().cacheKey(); }
    qint64 Legend(const char* button) { return Child<QToolButton>(button)->icon().cacheKey(); }
    QString Memo() { return memo->toPlainText(); }

    TempDir dir;
    std::unique_ptr<TConvertForm> form;
    QTreeView* tree = nullptr;
    QListWidget* list = nullptr;
    QPushButton* convert = nullptr;
    QPushButton* update = nullptr;
    QPlainTextEdit* memo = nullptr;
};

}  // namespace

TEST_F(ConvertWindow, LaysOutItsControlsAndStartsInTheStationsDataFolder)
{
    WriteBytes(dir / "mox.ini",
               "[MOX-Header]\r\nOrt=Fensterdorf\r\n[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "logs" + "/\r\n");
    Open();
    EXPECT_EQ(form->windowTitle(), "MOX_Convert V1.0b");
    EXPECT_EQ(form->size(), QSize(681, 538));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(tree->geometry(), QRect(8, 24, 169, 505));
    EXPECT_EQ(list->geometry(), QRect(184, 8, 361, 521));
    EXPECT_EQ(convert->geometry(), QRect(560, 8, 105, 41));
    EXPECT_EQ(update->geometry(), QRect(560, 56, 105, 41));
    EXPECT_EQ(memo->geometry(), QRect(552, 248, 121, 225));
    EXPECT_EQ(Child<QPushButton>("QuitButton")->geometry(), QRect(560, 488, 105, 41));
    EXPECT_EQ(convert->text(), "Convert");
    EXPECT_EQ(convert->toolTip(), "Generate MOX-files");
    EXPECT_EQ(update->text(), "Update");
    EXPECT_EQ(update->toolTip(), "Update MOX-files");
    EXPECT_EQ(Child<QPushButton>("HelpButton")->toolTip(), "Hilfedatei anzeigen");
    EXPECT_EQ(Child<QPushButton>("QuitButton")->text(), "Exit program");
    EXPECT_EQ(Child<QLabel>("Label5")->text(), "MOX-logfiles:");
    EXPECT_TRUE(Child<QLabel>("Label5")->font().bold());
    EXPECT_EQ(Child<QLabel>("Label1")->text(), "Converted files:");
    EXPECT_EQ(Child<QLabel>("Label4")->text(), "all ok");
    EXPECT_EQ(Child<QLabel>("Label2")->text(), "no MOX-file");
    EXPECT_EQ(Child<QLabel>("Label3")->text(), "MOX-file to old");
    EXPECT_TRUE(memo->isReadOnly());
    // Three different icons, one per status.
    EXPECT_NE(Legend("SpeedButton1"), Legend("SpeedButton2"));
    EXPECT_NE(Legend("SpeedButton2"), Legend("SpeedButton3"));
    EXPECT_EQ(form->Folder(), dir / "logs" + "/");
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(convert->isEnabled());
    EXPECT_FALSE(update->isEnabled());
}

TEST_F(ConvertWindow, ConvertsAMissingDayFileAndShowsIt)
{
    WriteBytes(dir / "logs/20030615.txt", RawLog("15.06.03"));
    for (const char* other : {"mox_data.txt", "2003061.txt", "20031315.txt", "tag.txt", "20030615.log"})
        WriteBytes(dir / "logs" + "/" + other, "x");
    Open();
    Choose(dir / "logs");
    EXPECT_EQ(form->Folder(), dir / "logs/");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "20030615.txt");
    EXPECT_EQ(IconOf(0), Legend("SpeedButton2"));
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_FALSE(update->isEnabled());

    // Busy while it runs: hourglass, no folder change, no second press.
    convert->click();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_FALSE(tree->isEnabled());
    EXPECT_FALSE(convert->isEnabled());
    EXPECT_TRUE(Child<QProgressBar>("Progress")->isVisible());
    ASSERT_TRUE(RunUntil([] { return QApplication::overrideCursor() == nullptr; }));

    EXPECT_EQ(Memo(), "20030615.txt");
    EXPECT_EQ(IconOf(0), Legend("SpeedButton1"));
    EXPECT_FALSE(convert->isEnabled());
    EXPECT_TRUE(tree->isEnabled());
    EXPECT_FALSE(Child<QProgressBar>("Progress")->isVisible());
    EXPECT_NE(ReadBytes(dir / "logs/20030615.mox").find("LOCATION: Fensterdorf"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "logs/mox_data.mox"));
}

TEST_F(ConvertWindow, UpdateAndConvertEachHandleOnlyTheirOwnLogs)
{
    WriteOutdated(dir, "logs/20030614", "14.06.03");
    WriteBytes(dir / "logs/20030615.txt", RawLog("15.06.03"));
    Open();
    Choose(dir / "logs");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(IconOf(0), Legend("SpeedButton3"));
    EXPECT_EQ(IconOf(1), Legend("SpeedButton2"));

    Press(update);
    EXPECT_EQ(Memo(), "20030614.txt");
    EXPECT_FALSE(update->isEnabled());
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_EQ(IconOf(0), Legend("SpeedButton1"));
    EXPECT_EQ(IconOf(1), Legend("SpeedButton2"));

    Press(convert);
    EXPECT_EQ(Memo(), "20030615.txt");
    EXPECT_FALSE(convert->isEnabled());
    EXPECT_EQ(IconOf(1), Legend("SpeedButton1"));

    // Only a run disables its button: a folder with nothing to do leaves an enabled one so.
    WriteBytes(dir / "logs/20030616.txt", RawLog("16.06.03"));
    std::filesystem::create_directory(dir / "empty");
    Choose(dir / "empty");
    EXPECT_FALSE(convert->isEnabled());
    Choose(dir / "logs");
    EXPECT_TRUE(convert->isEnabled());
    Choose(dir / "empty");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(convert->isEnabled());
    Press(convert);
    EXPECT_EQ(Memo(), "");
    EXPECT_FALSE(convert->isEnabled());
}

TEST_F(ConvertWindow, ALogThatCannotBeConvertedIsNamedAndTheOthersAreDone)
{
    BlockDayFile(dir, "logs/20030613", "13.06.03");
    WriteOutdated(dir, "logs/20030614", "14.06.03");
    Open();
    Choose(dir / "logs");
    Press(update);

    EXPECT_EQ(Memo(), "20030614.txt");
    auto* box = Child<QMessageBox>("MessageBox");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains("1 von 2")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("20030613.txt")) << box->text().toStdString();
    // Still outdated, so the scan after the run offers Update again; the reason stays at hand.
    EXPECT_EQ(IconOf(0), Legend("SpeedButton3"));
    EXPECT_TRUE(list->item(0)->toolTip().contains("20030613.mox")) << list->item(0)->toolTip().toStdString();
    EXPECT_TRUE(update->isEnabled());
    EXPECT_TRUE(tree->isEnabled());
}

TEST_F(ConvertWindow, ExitDuringARunStopsBetweenTwoLogs)
{
    for (const char* day : {"20030613", "20030614", "20030615"})
        WriteBytes(dir / "logs/" + day + ".txt", RawLog("13.06.03"));
    Open();
    Choose(dir / "logs");
    convert->click();
    Child<QPushButton>("QuitButton")->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    RunUntil([] { return false; }, 200);
    for (const char* day : {"20030613", "20030614", "20030615"})
        EXPECT_FALSE(std::filesystem::exists(dir / "logs/" + day + ".mox")) << day;
}

TEST_F(ConvertWindow, HelpAboutAndExit)
{
    Open();
    QApplication::setActiveWindow(form.get());
    Child<QPushButton>("HelpButton")->click();
    auto* help = Child<QTextBrowser>("HelpBrowser");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains("MOX_Convert auto"));
    help->close();
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_TRUE(help->isVisible());
    // Both keywords are anchors of the page.
    const std::string page = ReadBytes(std::string(MOX_SOURCE_DIR) + "/docs/help/mox_convert.html");
    EXPECT_NE(page.find("name=\"MOX_Convert_Programmbeschreibung\""), std::string::npos);
    EXPECT_NE(page.find("name=\"MOX_Convert: Programmbeschreibung\""), std::string::npos);

    for (const char* legend : {"SpeedButton1", "SpeedButton2", "SpeedButton3"}) {
        Child<QToolButton>(legend)->click();
        auto* about = Child<QDialog>("AboutDlg");
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(about->isVisible()) << legend;
        about->accept();
    }

    Child<QPushButton>("QuitButton")->click();
    EXPECT_FALSE(form->isVisible());
}

// Logs of one day in two letter cases: one is listed, the other named once; every name fits
// its item, also when a wider one follows a narrower first.
TEST_F(ConvertWindow, OneItemPerDayAndEveryNameFits)
{
    WriteBytes(dir / "logs/20030611.txt", RawLog("11.06.03"));
    WriteBytes(dir / "logs/20030614.TXT", RawLog("14.06.03"));
    WriteBytes(dir / "logs/20030614.txt", RawLog("14.06.03"));
    WriteBytes(dir / "logs/20030615.TXT", RawLog("15.06.03"));
    Open();
    Choose(dir / "logs");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "20030614.txt");
    EXPECT_EQ(list->item(2)->text(), "20030615.TXT");
    auto* box = Child<QMessageBox>("MessageBox");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains("20030614.TXT wird übergangen")) << box->text().toStdString();
    box->close();

    const QFontMetrics metrics(list->font());
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        EXPECT_GE(list->visualItemRect(item).width(),
                  metrics.horizontalAdvance(item->text()) + list->iconSize().width())
            << item->text().toStdString();
    }

    Press(convert);
    EXPECT_EQ(Memo(), "20030611.txt\n20030614.txt\n20030615.TXT");
    // Told once: the scan after the run does not bring the message back.
    EXPECT_FALSE(box->isVisible());
}
