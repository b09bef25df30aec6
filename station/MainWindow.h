#pragma once
// The station's main window: shows the diagram and runs the commands of its menus and tool
// bar. In logging mode it shows the station's runtime, which files the device's lines and
// keeps the port alive.
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/app/Reports.h"
#include "station/app/StationSettings.h"
#include "station/dialogs/StationContext.h"
#include "station/runtime/StationRuntime.h"
#include "widgets/WaitCursor.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class DiagramView;
class SerialLinePort;
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

    // The text the task bar shows for the application ("Logging X/Y...", "Pause...").
    const QString& ApplicationTitle() const { return applicationTitle; }
    bool LogMode() const { return logMode; }
    // The logging station this window shows; null in the other modes.
    StationRuntime* Runtime() const { return runtime.get(); }
    bool Paused() const { return runtime && runtime->Paused(); }
    const std::string& LogFileName() const { return runtime ? runtime->Logger().LogFileName() : noFile; }
    QString StatusPanel(int index) const;
    bool StatusIsRed() const { return statusRed; }
    // The last problem shown to the observer.
    const QString& LastProblem() const { return lastProblem; }
    DiagramView* Image() const { return image; }
    TIniFile& IniFile() { return iniFile; }
    ReportChannel& Reports() { return reports; }

    void FormResize();
    void LoggenStartStoppClick();
    void ConvertMenuMOXClick();
    // A start with a display on a settings file the station never ran on: the observer is
    // told once that the station record is a placeholder, and the settings dialog opens.
    bool FirstStart() const { return firstStart; }
    void IntroducePlaceholderRecord();

    // The one-shot run of `MOX_View FILE [WIDTH HEIGHT]`; ends the program with its result.
    void RunOneShot();
    void DateiMenu_SaveBitMapClick();
    void EditMenu_KopierenClick();

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
    // What needs the observer's attention, shown beside the line in the status bar.
    QString AlertPanel() const;

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
    void ShowStation();
    void ShowLine();
    void SetApplicationTitle(const QString& title);
    void SetStatusRed(bool red);
    void ShowReport(const Report& report);
    void TellSkippedCorrections();
    void ImageMouseMove(int x, int y);
    void ImageMouseDown(int x, int y, Qt::MouseButton button);
    void ImageDblClick(int x, int y);
    void AnsichtSymbolleisteClick();

    bool logMode = false;
    QStringList args;
    TStationContext context;
    ::TIniFile iniFile;
    StationSettings settings;
    ReportChannel reports;
    std::unique_ptr<StationRuntime> runtime;
    SerialLinePort* serialPort = nullptr;  // owned by the runtime
    static inline const std::string noFile;

    QString applicationTitle;
    QString lastProblem;
    std::string lastProblemKey;
    bool statusRed = false;
    bool firstActivation = true;
    bool firstStart = false;

    DiagramView* image = nullptr;
    QToolBar* toolBar = nullptr;
    QLabel* panel0 = nullptr;
    QLabel* panel1 = nullptr;
    QLabel* alertPanel = nullptr;
    QLabel* mqttPanel = nullptr;
    // The latest line for the status bar, shown a few times a second at most: a device at
    // high line rates would otherwise keep the window busy repainting.
    QTimer* statusLineTimer = nullptr;
    QPointer<QMessageBox> problemBox;
    std::optional<WaitCursor> batchCursor;  // while the runtime's batch runs

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
