#include "station/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "mox/StationRecord.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/MouseReadout.h"
#include "station/app/OneShotImage.h"
#include "station/app/SkippedCorrections.h"
#include "station/dialogs/FirstStartDlg.h"
#include "station/dialogs/KorrekturForm.h"
#include "station/dialogs/KurvenForm.h"
#include "station/dialogs/RemarkDlg.h"
#include "station/dialogs/SetupForm.h"
#include "station/runtime/SerialLinePort.h"
#include "widgets/DiagramView.h"
#include "widgets/HelpWindow.h"
#include "widgets/WaitCursor.h"

namespace {

const char* const kCaption = "MOX-View V2.2c";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

TMain::TMain(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), args(arguments), iniFile(MoxIniPath())
{
    UseStationFormats();

    setWindowTitle(kCaption);
    setMinimumSize(400, 300);
    image = new DiagramView(this);
    setCentralWidget(image);
    Diagram.MOX_Image = &image->Image;
    image->OnResize = [this] { FormResize(); };
    image->OnMouseMove = [this](int x, int y) { ImageMouseMove(x, y); };
    image->OnMouseDown = [this](int x, int y, Qt::MouseButton b) { ImageMouseDown(x, y, b); };
    image->OnDblClick = [this](int x, int y) { ImageDblClick(x, y); };

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    reports.AddSink(LogReport);
    reports.AddSink([this](const Report& r) { ShowReport(r); });
    // Settings notes go to the log as every report does; ApplySettings shows them in one box.
    SendSettingNotesTo([this](const std::string& note) { reports.Tell({LogLevel::Warning, note, "", false}); });
    iniFile.OnWriteFailed = [this](const std::string& problem) {
        reports.Tell(
            {LogLevel::Warning, "Die Einstellungen wurden nicht gespeichert: " + problem, "settings-write", true});
    };

    statusLineTimer = new QTimer(this);
    statusLineTimer->setSingleShot(true);
    statusLineTimer->setInterval(250);
    connect(statusLineTimer, &QTimer::timeout, this, [this] {
        const QString line = runtime ? Q(runtime->LineText()) : QString();
        if (panel0->text() == line) return;
        panel0->setText(line);
        statusLineTimer->start();
    });

    logMode = !args.isEmpty() && args.first().toUpper() == "LOG";
    // One-shot runs and stations without a display have nobody to tell.
    const QString platform = QGuiApplication::platformName();
    firstStart =
        FirstStationStart(iniFile) && (args.isEmpty() || logMode) && platform != "offscreen" && platform != "minimal";
    ApplySettings();
    if (logMode) StartLogging();
    CreateDialogs();
}

TMain::~TMain()
{
    if (runtime) runtime->Stop();
    SendSettingNotesTo(nullptr);
}

void TMain::CreateActions()
{
    QStyle* st = style();
    auto make = [this](const QString& caption, const QString& hint, const QIcon& icon = {}) {
        auto* a = new QAction(icon, caption, this);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        return a;
    };
    DateiMenuSpeichern = make("Diagramm speichern...", "Diagramm abspeichern (PNG, JPG oder BMP)",
                              st->standardIcon(QStyle::SP_DialogSaveButton));
    MenuDateiEnde = make("Beenden...", "MOX_View beenden", st->standardIcon(QStyle::SP_DialogCloseButton));
    EditMenu_Kopieren =
        make("Kopieren...", "Diagramm in Zwischenablage kopieren", st->standardIcon(QStyle::SP_FileDialogContentsView));
    EditMenu_Einstellungen =
        make("Einstellungen...", "Programmeinstellungen ändern", st->standardIcon(QStyle::SP_FileDialogDetailedView));
    EditMenu_Korrektur = make("manuelle Kurvenkorrektur...", "Manuelle Korrektur der Messwerte zur Störungsausblendung",
                              st->standardIcon(QStyle::SP_BrowserReload));
    EditMenu_Korrektur->setEnabled(false);
    AnsichtMenuKurveladen = make("Kurve laden...", "Vorhandene MOX-Datei in das Diagramm laden",
                                 st->standardIcon(QStyle::SP_DialogOpenButton));
    AnsichtMenuKurveLoeschen =
        make("Kurve löschen...", "Kurven aus dem Diagramm löschen", st->standardIcon(QStyle::SP_TrashIcon));
    AnsichtMenuOffset =
        make("Kurvenoffset ändern...", "Offset der Kurven ändern", st->standardIcon(QStyle::SP_ArrowUp));
    AnsichtMenuFilter = make("Filter...", "Filteroptionen festlegen", st->standardIcon(QStyle::SP_FileDialogListView));
    AnsichtMenuLegende =
        make("Legende...", "Diagrammlegende und -titel festlegen", st->standardIcon(QStyle::SP_FileDialogInfoView));
    AnsichtMenuKurveninformationen =
        make("Info...", "Informationen zu den Kurven anzeigen", st->standardIcon(QStyle::SP_MessageBoxInformation));
    AnsichtSymbolleiste = make("Symbolleiste", "Symbolleiste ein-/ausblenden");
    AnsichtSymbolleiste->setCheckable(true);
    ConvertMenuMOX = make("MOX-Daten               -> *.MOX", "MOX-Mitschnitt  in MOX-Format konvertieren",
                          st->standardIcon(QStyle::SP_ArrowRight));
    ConvertMenueMagnetsrode = make("Magnetstrode-Daten -> *.MOX", "Daten aus Magnetsrode in MOX-Format konvertieren",
                                   st->standardIcon(QStyle::SP_ArrowForward));
    ConvertMenuIaga =
        make("IAGA-2002 -> *.MOX", "IAGA-2002-Datei eines Observatoriums in MOX-Format konvertieren und laden",
             st->standardIcon(QStyle::SP_ArrowForward));
    DateiMenuIagaExport =
        make("Als IAGA-2002 exportieren...", "Tagesdateien der geladenen Kurven im IAGA-2002-Format speichern");
    LoggenEinstellungen = make("Log-Einstellungen...", "Loggingeinstellungen anpassen");
    LoggenBatchEinstellungen = make("Batch-Einstellungen...", "Batchintervall, Diagrammgrösse etc.");
    LoggenStartStopp = make("Stopp", "Loggen starten/stoppen", st->standardIcon(QStyle::SP_MediaPause));
    HilfeMenuMoxView = make("Mox_View...", "Hilfe zu MOX_View anzeigen", st->standardIcon(QStyle::SP_DialogHelpButton));
    HilfeMenuMOX = make("MOX...", "Hilfe zu MOX anzeigen", st->standardIcon(QStyle::SP_TitleBarContextHelpButton));
    HilfeMenuMoxView->setShortcut(QKeySequence::HelpContents);
    HilfeMenuAbout = make("Über...", "");

    connect(MenuDateiEnde, &QAction::triggered, this, &QWidget::close);
    connect(DateiMenuSpeichern, &QAction::triggered, this, [this] { DateiMenu_SaveBitMapClick(); });
    connect(EditMenu_Kopieren, &QAction::triggered, this, [this] { EditMenu_KopierenClick(); });
    connect(AnsichtSymbolleiste, &QAction::triggered, this, [this] { AnsichtSymbolleisteClick(); });
    connect(ConvertMenuMOX, &QAction::triggered, this, [this] { ConvertMenuMOXClick(); });
    connect(LoggenStartStopp, &QAction::triggered, this, [this] { LoggenStartStoppClick(); });
    connect(HilfeMenuMoxView, &QAction::triggered, this, [this] { ShowHelpTopic(this, THelpTopic::ViewAllgemein); });
    connect(HilfeMenuMOX, &QAction::triggered, this, [this] { ShowHelpTopic(this, THelpTopic::Einfuehrung); });
}

void TMain::CreateMenus()
{
    QMenu* datei = menuBar()->addMenu("Datei");
    datei->addAction(DateiMenuSpeichern);
    datei->addAction(DateiMenuIagaExport);
    datei->addAction(MenuDateiEnde);
    QMenu* edit = menuBar()->addMenu("Edit");
    edit->addAction(EditMenu_Kopieren);
    edit->addAction(EditMenu_Einstellungen);
    edit->addAction(EditMenu_Korrektur);
    QMenu* ansicht = menuBar()->addMenu("Ansicht");
    for (QAction* a : {AnsichtMenuKurveladen, AnsichtMenuKurveLoeschen, AnsichtMenuOffset, AnsichtMenuFilter,
                       AnsichtMenuLegende, AnsichtMenuKurveninformationen})
        ansicht->addAction(a);
    ansicht->addAction(AnsichtSymbolleiste);
    QMenu* konvertieren = menuBar()->addMenu("Konvertieren");
    konvertieren->addAction(ConvertMenuMOX);
    konvertieren->addAction(ConvertMenueMagnetsrode);
    konvertieren->addAction(ConvertMenuIaga);
    loggenMenu = menuBar()->addMenu("Loggen");
    loggenMenu->addAction(LoggenEinstellungen);
    loggenMenu->addAction(LoggenBatchEinstellungen);
    loggenMenu->addAction(LoggenStartStopp);
    loggenMenu->menuAction()->setVisible(false);
    QMenu* hilfe = menuBar()->addMenu("Hilfe");
    hilfe->addAction(HilfeMenuMoxView);
    hilfe->addAction(HilfeMenuMOX);
    hilfe->addAction(HilfeMenuAbout);
}

void TMain::CreateToolBar()
{
    toolBar = addToolBar("Symbolleiste");
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(18, 18));
    const std::initializer_list<std::initializer_list<QAction*>> groups = {
        {MenuDateiEnde},
        {AnsichtMenuKurveladen, AnsichtMenuKurveLoeschen, AnsichtMenuOffset, AnsichtMenuLegende},
        {AnsichtMenuFilter, EditMenu_Korrektur},
        {DateiMenuSpeichern, EditMenu_Kopieren},
        {ConvertMenuMOX, ConvertMenueMagnetsrode},
        {AnsichtMenuKurveninformationen},
        {EditMenu_Einstellungen},
        {LoggenStartStopp},
        {HilfeMenuMoxView, HilfeMenuMOX}};
    bool first = true;
    for (const auto& group : groups) {
        QAction* separator = first ? nullptr : toolBar->addSeparator();
        first = false;
        for (QAction* a : group) toolBar->addAction(a);
        // A group shown only in logging mode takes its separator along.
        if (separator && group.size() == 1 && *group.begin() == LoggenStartStopp)
            connect(LoggenStartStopp, &QAction::visibleChanged, separator,
                    [separator, this] { separator->setVisible(LoggenStartStopp->isVisible()); });
    }
    // The start/stop button belongs to logging mode only. Hidden through its action: the tool
    // bar shows the widgets of visible actions again whenever it lays itself out.
    LoggenStartStopp->setVisible(false);
}

void TMain::CreateStatusBar()
{
    panel0 = new QLabel(this);
    panel1 = new QLabel(this);
    panel0->setMinimumWidth(0);
    panel1->setFixedWidth(50);
    panel0->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(panel0, 1);
    statusBar()->addPermanentWidget(panel1);
    statusBar()->setAutoFillBackground(true);
    alertPanel = new QLabel(this);
    statusBar()->addPermanentWidget(alertPanel);
    alertPanel->hide();
    mqttPanel = new QLabel(this);
    statusBar()->addPermanentWidget(mqttPanel);
    mqttPanel->hide();
}

void TMain::ApplySettings()
{
    settings = ReadStationSettings(iniFile, Diagram, logMode);
    // Already in the log from the reader; shown in the window too.
    std::string notes;
    for (const std::string& n : TakeSettingNotes()) notes += (notes.empty() ? "" : "\n") + n;
    if (!notes.empty()) ShowReport({LogLevel::Warning, notes, "settings", true});
    const WindowBounds& b = settings.Bounds;
    move(b.Left, b.Top);
    resize(std::max(b.Width, minimumWidth()), std::max(b.Height, minimumHeight()));
    toolBar->setVisible(settings.Toolbar);
    AnsichtSymbolleiste->setChecked(settings.Toolbar);
}

void TMain::StartLogging()
{
    for (QAction* a : {DateiMenuSpeichern, AnsichtMenuKurveladen, AnsichtMenuKurveLoeschen, AnsichtMenuOffset,
                       ConvertMenuMOX, ConvertMenueMagnetsrode, ConvertMenuIaga})
        a->setEnabled(false);
    loggenMenu->menuAction()->setVisible(true);
    LoggenStartStopp->setVisible(true);
    panel1->setFixedWidth(110);

    auto port = std::make_unique<SerialLinePort>();
    serialPort = port.get();
    runtime = std::make_unique<StationRuntime>(iniFile, Diagram, settings, std::move(port), reports);
    runtime->OnLine = [this] { ShowLine(); };
    runtime->OnStateChanged = [this] { ShowStation(); };
    runtime->OnDayLoaded = [this] { FormResize(); };
    runtime->OnBusy = [this](bool busy) {
        if (busy) batchCursor.emplace();
        else batchCursor.reset();
    };
    runtime->Start();
}

void TMain::ShowLine()
{
    if (!statusLineTimer->isActive()) {
        panel0->setText(Q(runtime->LineText()));
        statusLineTimer->start();
    }
    ShowStation();
}

void TMain::ShowStation()
{
    panel1->setText(Q(runtime->PortState()));
    SetApplicationTitle(Q(runtime->Title()));
    const QString alerts = Q(runtime->Alerts());
    alertPanel->setText(alerts);
    alertPanel->setVisible(!alerts.isEmpty());
    const QString mqtt = Q(runtime->MqttText());
    mqttPanel->setText(mqtt);
    mqttPanel->setToolTip(Q(runtime->MqttProblem()));
    mqttPanel->setVisible(!mqtt.isEmpty());
    SetStatusRed(runtime->LineRed());
}

void TMain::LoggenStartStoppClick()
{
    if (!runtime) return;
    const bool pause = !runtime->Paused();
    runtime->SetPaused(pause);
    LoggenStartStopp->setText(pause ? "Start" : "Stopp");
    LoggenStartStopp->setIcon(style()->standardIcon(pause ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
}

void TMain::SetApplicationTitle(const QString& title)
{
    applicationTitle = title;
    // The title is what a minimized station shows in the task bar.
    if (logMode) setWindowTitle(title + " - " + kCaption);
}

void TMain::SetStatusRed(bool red)
{
    statusRed = red || (runtime && runtime->Alarm());
    const QColor colour = statusRed ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::Button);
    // Called for every line: a palette change repaints the whole bar.
    if (statusBar()->palette().color(QPalette::Window) == colour) return;
    QPalette pal = statusBar()->palette();
    pal.setColor(QPalette::Window, colour);
    statusBar()->setPalette(pal);
}

void TMain::ShowReport(const Report& report)
{
    const QString text = Q(report.Text);
    // A later word on the matter of the message on screen replaces it: a device that is back
    // turns the box of its loss into the news that it is back.
    const bool sameMatter = !report.Key.empty() && report.Key == lastProblemKey;
    if (!report.Box && !(sameMatter && problemBox && problemBox->isVisible())) return;
    lastProblem = text;
    lastProblemKey = report.Key;
    // Not modal: a station must go on receiving while the message waits for the observer.
    // One box at most, showing the latest problem, however often a device comes and goes.
    if (!problemBox) {
        problemBox = new QMessageBox(QMessageBox::Warning, "MOX_View", text, QMessageBox::Ok, this);
        problemBox->setAttribute(Qt::WA_DeleteOnClose);
        problemBox->setModal(false);
    }
    problemBox->setIcon(report.Level == LogLevel::Info ? QMessageBox::Information : QMessageBox::Warning);
    problemBox->setText(text);
    problemBox->show();
}

void TMain::TellSkippedCorrections()
{
    reports.Tell({LogLevel::Warning, SkippedCorrectionLines(Diagram), "corrections", true});
}

QString TMain::AlertPanel() const { return alertPanel->isVisible() ? alertPanel->text() : QString(); }

QString TMain::StatusPanel(int index) const { return index == 0 ? panel0->text() : panel1->text(); }

void TMain::FormResize()
{
    if (!isVisible() && !testAttribute(Qt::WA_WState_Created)) return;
    panel0->setMinimumWidth(std::max(0, width() - 70 - 40));
    image->Image.SetClientSize(image->width(), image->height());
    Diagram.ShowMagnetogramm();
    image->update();
}

void TMain::ImageMouseMove(int x, int y)
{
    const TColor color = image->Image.Picture.Pixel(x, y);
    if (CurveAtColor(Diagram, color) == 0) {
        image->unsetCursor();
        statusBar()->clearMessage();
        return;
    }
    image->setCursor(Qt::CrossCursor);
    const std::string text = ReadoutText(Diagram, x, y);
    if (text.empty()) statusBar()->clearMessage();
    else statusBar()->showMessage(Q(text));
}

void TMain::ImageMouseDown(int x, int y, Qt::MouseButton button)
{
    if (button == Qt::RightButton) {
        // The reading of the minute under the pointer, in the correction window's list.
        if (KorrekturForm && KorrekturForm->ListCount() > 0)
            KorrekturForm->SelectMinute(int(Diagram.get_Time(x) * 1440));
        return;
    }
    const int curve = CurveAtColor(Diagram, image->Image.Picture.Pixel(x, y));
    if (curve == 0 || !KurvenForm) return;
    KurvenForm->SetKurve(curve);
    KurvenForm->show();
    KurvenForm->raise();
    image->unsetCursor();
}

void TMain::ImageDblClick(int x, int)
{
    if (KorrekturForm && KorrekturForm->isVisible()) KorrekturForm->SelectMinute(int(Diagram.get_Time(x) * 1440));
}

void TMain::AnsichtSymbolleisteClick()
{
    const bool visible = !toolBar->isVisible();
    toolBar->setVisible(visible);
    AnsichtSymbolleiste->setChecked(visible);
    iniFile.WriteBool("Tools", "Toolbar", visible);
    FormResize();
}

void TMain::ConvertMenuMOXClick()
{
    const QString start = Q(iniFile.ReadString("Diagram", "Logger-Data", ""));
    const QString file = QFileDialog::getOpenFileName(this, "Konvertierung", start,
                                                      "Textdateien [*.txt] (*.txt);;alle Dateien [*.*] (*)");
    if (file.isEmpty()) return;
    iniFile.WriteString("Diagram", "Logger-Data", S(QFileInfo(file).absolutePath()) + "/");
    // The remark and the one-sensor component go into the header of the file it makes.
    RemarkDlg->exec();
    repaint();
    try {
        WaitCursor busy;
        // A raw log in a station's folder of an archive is converted with that station's record;
        // the remark asked for just now goes with it.
        const std::string remark = Diagram.get_Bemerkung();
        const FolderRecord record(Diagram, ExtractFilePath(S(file)));
        Diagram.set_Bemerkung(remark);
        Diagram.Convert(S(file));
    } catch (const std::exception& e) {
        reports.Tell({LogLevel::Warning, S(file) + ": " + e.what(), "", true});
    }
    FormResize();
}

void TMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (firstStart)
        QTimer::singleShot(0, this, [this] {
            if (firstStart) IntroducePlaceholderRecord();
        });
    if (!logMode && !args.isEmpty() && firstActivation) {
        firstActivation = false;
        QTimer::singleShot(0, this, [this] { RunOneShot(); });
    }
    if (logMode && firstActivation) {
        // A logging station runs in the background; once the observer brings the window
        // back it stays up.
        firstActivation = false;
        ShowStation();
        // On a first start the settings dialog must be seen.
        if (settings.LogMinimized && !firstStart) QTimer::singleShot(0, this, [this] { showMinimized(); });
    }
    FormResize();
}

void TMain::IntroducePlaceholderRecord()
{
    firstStart = false;
    // Stored at once, so that the next start does not ask again, however this one ends.
    WriteWindowBounds(iniFile, {x(), y(), width(), height()});
    StationSettings& s = runtime ? runtime->Settings() : settings;
    TFirstStartDlg dlg(context, s.Port.empty() ? iniFile.ReadString("COM-Port", "Port", "COM1") : s.Port);
    if (dlg.exec() != QDialog::Accepted || !runtime || dlg.Answers().Port == s.Port) return;
    s.Port = dlg.Answers().Port;
    runtime->ApplyLogSetup();
}

void TMain::closeEvent(QCloseEvent* event)
{
    if (runtime) runtime->Stop();
    // Stored as they are restored: frame position, client size.
    const QRect g =
        windowState() & (Qt::WindowMinimized | Qt::WindowMaximized) ? normalGeometry() : QRect(pos(), size());
    WriteWindowBounds(iniFile, {g.x(), g.y(), g.width(), g.height()});
    event->accept();
}
