#pragma once
// The station's main window: shows the diagram, runs the commands of its menus and tool bar,
// and in logging mode files the device's lines and keeps the port alive.
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <string>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/app/BatchPlan.h"
#include "station/app/DayLogger.h"
#include "station/app/DaySnapshot.h"
#include "station/app/StationService.h"
#include "station/app/StationSettings.h"
#include "station/dialogs/StationContext.h"
#include "station/serial/ComPort.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class DiagramView;
class StationMqtt;
class UploadRunner;
class TAboutDlg;
class TBatchForm;
class TDeleteCurvesDlg;
class TDiagramm_LadenDlg;
class TFarbDlg;
class TFilterForm;
class TIagaCommands;
class TInfoForm;
class TKorrekturForm;
class TKurvenForm;
class TLegendeForm;
class TLogBatchForm;
class TLogSetupForm;
class TMRode_ConvertDlg;
class TOffsetForm;
class TRemarkDlg;
class TSetupForm;

class TMain : public QMainWindow {
public:
    explicit TMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMain() override;

    TMOX_Diagram Diagram;
    TComPort ComPort;
    TComDataPacket ComDataPacket;

    // The text the task bar shows for the application ("Logging X/Y...", "Pause...").
    const QString& ApplicationTitle() const { return applicationTitle; }
    bool LogMode() const { return logMode; }
    bool Paused() const { return paused; }
    const std::string& LogFileName() const { return logger ? logger->LogFileName() : noFile; }
    QString StatusPanel(int index) const;
    bool StatusIsRed() const { return statusRed; }
    // The last problem told to the user, one message per distinct problem.
    const QString& LastProblem() const { return lastProblem; }
    DiagramView* Image() const { return image; }
    TIniFile& IniFile() { return iniFile; }

    void FormResize();
    void ComDataPacketPacket(TComDataPacket* sender, const std::string& str);
    void LoggenStartStoppClick();
    void ConvertMenuMOXClick();
    // A start with a display on a settings file the station never ran on: the observer is
    // told once that the station record is a placeholder, and the settings dialog opens.
    bool FirstStart() const { return firstStart; }
    void IntroducePlaceholderRecord();

    // The periodic batch: snapshot of the day's log, conversion, images, pages, upload.
    void Timer1Timer();
    // The one-shot run of `MOX_View FILE [WIDTH HEIGHT]`; ends the program with its result.
    void RunOneShot();
    void DateiMenu_SaveBitMapClick();
    void EditMenu_KopierenClick();
    // Draws the diagram at `size` and saves it; the error text, empty on success.
    std::string SaveImage(const ImageSize& size, const std::string& base, int format);
    int BatchCount() const { return batchCount; }

    // The dialogs, made once after the window, in the order of the program's start.
    void CreateDialogs();
    TMRode_ConvertDlg* MRode_ConvertDlg = nullptr;
    TDiagramm_LadenDlg* Diagramm_LadenDlg = nullptr;
    TDeleteCurvesDlg* DeleteCurvesDlg = nullptr;
    TOffsetForm* OffsetForm = nullptr;
    TSetupForm* SetupForm = nullptr;
    TRemarkDlg* RemarkDlg = nullptr;
    TLegendeForm* LegendeForm = nullptr;
    TAboutDlg* AboutDlg = nullptr;
    TFarbDlg* FarbDlg = nullptr;
    TInfoForm* InfoForm = nullptr;
    TKurvenForm* KurvenForm = nullptr;
    TBatchForm* BatchForm = nullptr;
    TKorrekturForm* KorrekturForm = nullptr;
    TFilterForm* FilterForm = nullptr;
    TLogBatchForm* LogBatchForm = nullptr;
    TLogSetupForm* LogSetupForm = nullptr;
    TIagaCommands* IagaCommands = nullptr;
    void LoggenEinstellungenClick();
    // Refreshes the curve data and curve information windows when they are showing.
    void RefreshCurveWindows();
    UploadRunner* Uploads() const { return uploads; }
    // The unattended side of logging mode: status, silence, clock, waiting lines.
    StationService* Service() const { return service.get(); }
    // What needs the observer's attention, shown beside the line in the status bar.
    QString AlertPanel() const;
    // Lines not yet acknowledged by the MQTT broker; 0 when the station does not publish.
    std::size_t MqttBacklog() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void ApplySettings();
    void StartLogging();
    bool OpenPort();
    void ComPortBeforeClose();
    void DeviceLost(const std::string& reason);
    void TryReopen();
    void SetApplicationTitle(const QString& title);
    void SetStatusRed(bool red);
    void TellOnce(const QString& problem, LogLevel level = LogLevel::Warning);
    // Out-of-range settings, told on stderr by the reader, shown in the window too.
    void ShowSettingNotes();
    void ShowProblem(const QString& problem);
    void TellSkippedCorrections();
    // Service glue (MainService.cpp).
    void StartService();
    void ServiceLineHandled(const std::string& line, DayLogger::Outcome outcome);
    void ServiceTick();
    void ServiceStopping();
    void ServicePortState();
    void ShowService();
    void Tell(const ServiceMessages& messages);
    void ImageMouseMove(int x, int y);
    void ImageMouseDown(int x, int y, Qt::MouseButton button);
    void ImageDblClick(int x, int y);
    void AnsichtSymbolleisteClick();

    bool logMode = false;
    QStringList args;
    TStationContext context;
    ::TIniFile iniFile;
    StationSettings settings;
    std::unique_ptr<DayLogger> logger;
    std::unique_ptr<StationService> service;
    std::unique_ptr<StationMqtt> mqtt;
    static inline const std::string noFile;

    QString applicationTitle;
    QString lastProblem;
    std::string htmlTemplatesTold;
    bool statusRed = false;
    bool lineRed = false;  // the last line could not be taken
    bool paused = false;
    bool deviceLost = false;
    bool firstActivation = true;
    bool firstStart = false;

    DiagramView* image = nullptr;
    QToolBar* toolBar = nullptr;
    QLabel* panel0 = nullptr;
    QLabel* panel1 = nullptr;
    QLabel* alertPanel = nullptr;
    QTimer* reopenTimer = nullptr;
    // The latest line for the status bar, shown a few times a second at most: a device at
    // high line rates would otherwise keep the window busy repainting.
    QTimer* statusLineTimer = nullptr;
    QString statusLine;
    QPointer<QMessageBox> problemBox;
    QTimer* Timer1 = nullptr;
    UploadRunner* uploads = nullptr;
    std::unique_ptr<UploadSchedule> uploadSchedule;
    DaySnapshot daySnapshot;
    TImage batchImage;
    int batchCount = 0;

    QMenu* loggenMenu = nullptr;
    QAction* DateiMenuSpeichern = nullptr;
    QAction* MenuDateiEnde = nullptr;
    QAction* EditMenu_Kopieren = nullptr;
    QAction* EditMenu_Einstellungen = nullptr;
    QAction* EditMenu_Korrektur = nullptr;
    QAction* AnsichtMenuKurveladen = nullptr;
    QAction* AnsichtMenuKurveLoeschen = nullptr;
    QAction* AnsichtMenuOffset = nullptr;
    QAction* AnsichtMenuFilter = nullptr;
    QAction* AnsichtMenuLegende = nullptr;
    QAction* AnsichtMenuKurveninformationen = nullptr;
    QAction* AnsichtSymbolleiste = nullptr;
    QAction* ConvertMenuMOX = nullptr;
    QAction* ConvertMenueMagnetsrode = nullptr;
    QAction* ConvertMenuIaga = nullptr;
    QAction* DateiMenuIagaExport = nullptr;
    QAction* LoggenEinstellungen = nullptr;
    QAction* LoggenBatchEinstellungen = nullptr;
    QAction* LoggenStartStopp = nullptr;
    QAction* HilfeMenuMoxView = nullptr;
    QAction* HilfeMenuMOX = nullptr;
    QAction* HilfeMenuAbout = nullptr;
};
