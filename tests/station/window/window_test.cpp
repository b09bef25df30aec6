#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include "../../support/DayFiles.h"
#include "StationTest.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/IniFile.h"
#include "station/MainWindow.h"
#include "station/app/StationSettings.h"
#include "station/dialogs/BatchForm.h"
#include "station/dialogs/Diagramm_LadenDlg.h"
#include "station/dialogs/FarbDlg.h"
#include "station/dialogs/FilterForm.h"
#include "station/dialogs/KurvenForm.h"
#include "station/dialogs/LogBatchForm.h"
#include "station/dialogs/SetupForm.h"
#include "widgets/DiagramView.h"

namespace {

QAction* ActionNamed(QWidget& w, const QString& text)
{
    for (QAction* a : w.findChildren<QAction*>())
        if (a->text() == text) return a;
    return nullptr;
}

using ViewerWindow = StationTest;

}  // namespace

TEST_F(ViewerWindow, MenusHintsAndModes)
{
    WriteIni("[Diagram]\r\nWidth=700\r\nHeight=500\r\n");
    TMain w({});
    w.show();
    RunFor(50);
    EXPECT_EQ(w.windowTitle(), "MOX-View V2.2c");
    EXPECT_FALSE(w.LogMode());
    EXPECT_EQ(w.width(), 700);
    QStringList menus;
    for (QAction* a : w.menuBar()->actions())
        if (a->isVisible()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"Datei", "Edit", "Ansicht", "Konvertieren", "Hilfe"}));
    QAction* save = ActionNamed(w, "Diagramm speichern...");
    ASSERT_TRUE(save);
    EXPECT_EQ(save->statusTip(), "Diagramm abspeichern (PNG, JPG oder BMP)");
    EXPECT_TRUE(save->isEnabled());
    ASSERT_TRUE(ActionNamed(w, "MOX-Daten               -> *.MOX"));
    EXPECT_FALSE(ActionNamed(w, "manuelle Kurvenkorrektur...")->isEnabled());

    // The about window names the program and its version, and waits for its OK.
    auto* about = w.findChild<QDialog*>("AboutDlg");
    ASSERT_TRUE(about);
    QTimer::singleShot(0, about, [about] { about->accept(); });
    ActionNamed(w, "Über...")->trigger();
    EXPECT_EQ(about->windowTitle(), "MOX_View");
    EXPECT_TRUE(about->isModal());
    EXPECT_TRUE(about->findChild<QTextBrowser*>("AboutText")->toPlainText().contains(MoxVersion()));

    // The tool bar switch is written at once; the window bounds when the window closes.
    QAction* bar = ActionNamed(w, "Symbolleiste");
    ASSERT_TRUE(bar && bar->isChecked());
    bar->trigger();
    EXPECT_FALSE(bar->isChecked());
    EXPECT_FALSE(TIniFile(ini).ReadBool("Tools", "Toolbar", true));
    EXPECT_EQ(TIniFile(ini).ReadInteger("Diagram", "Width", 0), 700);
    w.resize(650, 480);
    w.close();
    EXPECT_EQ(TIniFile(ini).ReadInteger("Diagram", "Width", 0), 650);
    EXPECT_EQ(TIniFile(ini).ReadInteger("Diagram", "Height", 0), 480);
}

TEST_F(ViewerWindow, PictureFollowsTheWindowAndThePointerReadsCurves)
{
    TMain w({});
    w.resize(800, 500);
    w.show();
    RunFor(50);
    DiagramView* view = w.Image();
    const TBitmap& pic = view->Image.Picture;
    EXPECT_EQ(pic.Width(), view->width());
    EXPECT_EQ(pic.Height(), view->height());

    WriteBytes(dir / "20030615.mox",
               DayFileText({{"By", Minutes([](int m) { return 20.0 * (m > 720); })}}, "15.06.03"));
    w.Diagram.LoadData(dir / "20030615.mox", 0, 1);
    w.FormResize();
    // Find a pixel of the curve (red after the settings' defaults) right of noon.
    const TColor curve = w.Diagram.get_Color(1);
    int cx = -1, cy = -1;
    for (int y = 0; y < pic.Height() && cx < 0; ++y)
        for (int x = pic.Width() * 3 / 4; x < pic.Width() - 30; ++x)
            if (pic.Pixel(x, y) == curve) {
                cx = x;
                cy = y;
                break;
            }
    ASSERT_GE(cx, 0) << "no curve pixel";
    QMouseEvent move(QEvent::MouseMove, QPointF(cx, cy), QPointF(cx, cy), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
    const QString readout = w.statusBar()->currentMessage();
    EXPECT_TRUE(readout.contains(QRegularExpression("^\\d\\d:\\d\\dUTC, -?\\d+nT$"))) << readout.toStdString();

    QMouseEvent off(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &off);
    EXPECT_NE(view->cursor().shape(), Qt::CrossCursor);
    EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty());

    // The copy command puts the picture as shown on the clipboard.
    ActionNamed(w, "Kopieren...")->trigger();
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(pic.Width(), pic.Height()));
    EXPECT_EQ(copied.pixel(cx, cy) & 0xFFFFFF, QColor(curve & 0xFF, (curve >> 8) & 0xFF, curve >> 16).rgb() & 0xFFFFFF);
}

TEST_F(ViewerWindow, HelpOpensAtTheTopicsPage)
{
    TMain w({});
    w.show();
    ActionNamed(w, "MOX...")->trigger();
    QTextBrowser* help = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QTextBrowser*>(top); b && b->isVisible()) help = b;
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->source().toLocalFile().endsWith("/mox_view.html"));
    EXPECT_TRUE(help->toPlainText().contains("Einführung und Vorgeschichte"));
    help->close();
}

TEST_F(ViewerWindow, LoadCommandFillsTheDiagramAndClickOpensTheCurveWindow)
{
    WriteBytes(dir / "20030615.mox",
               DayFileText({{"By", Minutes([](int m) { return 30.0 * (m > 600); })}}, "15.06.03"));
    TMain w({});
    w.resize(800, 500);
    w.show();
    RunFor(50);
    EXPECT_FALSE(ActionNamed(w, "manuelle Kurvenkorrektur...")->isEnabled());
    w.Diagramm_LadenDlg->OpenFile = [this](const QString&) { return QString::fromStdString(dir / "20030615.mox"); };
    QTimer::singleShot(0, w.Diagramm_LadenDlg, [&w] { w.Diagramm_LadenDlg->OK_ButtonClick(); });
    ActionNamed(w, "Kurve laden...")->trigger();
    EXPECT_FALSE(w.Diagram.is_empty());
    // Loading enables the manual correction, and the picture shows the curve.
    EXPECT_TRUE(ActionNamed(w, "manuelle Kurvenkorrektur...")->isEnabled());
    const TBitmap& pic = w.Image()->Image.Picture;
    int cx = -1, cy = -1;
    for (int curve = 1; curve <= 4 && cx < 0; ++curve) {
        if (!w.Diagram.is_loaded(curve)) continue;
        for (int y = 0; y < pic.Height() && cx < 0; ++y)
            for (int x = 100; x < pic.Width() - 30; ++x)
                if (pic.Pixel(x, y) == w.Diagram.get_Color(curve)) {
                    cx = x;
                    cy = y;
                    break;
                }
    }
    ASSERT_GE(cx, 0) << "the loaded curve is not drawn";
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(cx, cy), QPointF(cx, cy), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w.Image(), &press);
    EXPECT_TRUE(w.KurvenForm->isVisible());
    w.close();
}

// The logging start/stop button has no place in the viewer: hidden with its action, so that
// the tool bar does not bring it back when it lays itself out anew.
TEST_F(ViewerWindow, TheViewerHasNoLoggingButton)
{
    TMain w({});
    w.show();
    RunFor(50);
    auto* bar = w.findChild<QToolBar*>();
    ASSERT_TRUE(bar);
    QAction* startStop = ActionNamed(w, "Stopp");
    ASSERT_TRUE(startStop);
    EXPECT_FALSE(startStop->isVisible());
    QAction* toggle = ActionNamed(w, "Symbolleiste");
    toggle->trigger();
    toggle->trigger();
    w.resize(w.width() + 40, w.height());
    RunFor(50);
    ASSERT_TRUE(bar->isVisible());
    QWidget* button = bar->widgetForAction(startStop);
    EXPECT_TRUE(!button || !button->isVisible());
    // No two separators side by side where the button would stand.
    const QList<QAction*> actions = bar->actions();
    for (int i = 1; i < actions.size(); ++i)
        EXPECT_FALSE(actions[i]->isSeparator() && actions[i]->isVisible() && actions[i - 1]->isSeparator() &&
                     actions[i - 1]->isVisible())
            << "at " << i;
}

// The settings, colour and batch dialogs open in the middle of the desktop wherever the main
// window stands; the filter window where the window manager puts it, not on the main window.
TEST_F(ViewerWindow, DialogsOpenWhereTheyBelong)
{
    WriteIni("[Diagram]\r\nLeft=0\r\nTop=0\r\nWidth=500\r\nHeight=340\r\n");
    TMain w({});
    w.show();
    RunFor(50);
    const QRect free = w.screen()->availableGeometry();
    ASSERT_GT((w.frameGeometry().center() - free.center()).manhattanLength(), 100);
    for (QDialog* d : std::initializer_list<QDialog*>{w.SetupForm, w.FarbDlg, w.BatchForm, w.LogBatchForm}) {
        SCOPED_TRACE(d->windowTitle().toStdString());
        // Opened twice: the second time too, after the first was moved away.
        for (int round = 0; round < 2; ++round) {
            d->show();
            RunFor(20);
            const QPoint c = d->frameGeometry().center();
            EXPECT_LE(std::abs(c.x() - free.center().x()), 2) << c.x();
            EXPECT_LE(std::abs(c.y() - free.center().y()), 2) << c.y();
            d->move(10, 10);
            d->hide();
        }
    }
    w.FilterForm->show();
    RunFor(20);
    const QPoint onMain = w.frameGeometry().center() - QPoint(w.FilterForm->width() / 2, w.FilterForm->height() / 2);
    EXPECT_GT((w.FilterForm->pos() - onMain).manhattanLength(), 20);
    w.FilterForm->hide();
}

// A new station tells once that its record is a placeholder and opens the settings; never
// where nobody sees it (no display, one-shot runs), and never again on the same file.
TEST_F(ViewerWindow, AFirstStartAsksForTheStationRecordOnce)
{
    {
        TMain headless({});
        headless.show();
        RunFor(100);
        EXPECT_FALSE(headless.FirstStart());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(headless.SetupForm->isVisible());
    }
    std::filesystem::remove(ini);
    TMain w({});
    w.show();
    RunFor(50);
    QStringList seen;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text();
            box->accept();
        } else {
            seen << modal->windowTitle();
            modal->close();
        }
    });
    closer.start();
    w.IntroducePlaceholderRecord();
    closer.stop();
    ASSERT_EQ(seen.size(), 1) << seen.join(" | ").toStdString();
    EXPECT_EQ(seen[0], "Neue Station");
    EXPECT_FALSE(w.FirstStart());
    EXPECT_FALSE(FirstStationStart(TIniFile(ini)));
}
