// The station's dialogs: made once, opened by the main window's commands, and connected to
// the running station where their settings have a live counterpart.
#include <QAction>
#include <QTimer>

#include "mox/rtl/CommandLine.h"
#include "station/MainWindow.h"
#include "station/dialogs/BatchForm.h"
#include "station/dialogs/DeleteCurvesDlg.h"
#include "station/dialogs/Diagramm_LadenDlg.h"
#include "station/dialogs/FarbDlg.h"
#include "station/dialogs/FilterForm.h"
#include "station/dialogs/IagaCommands.h"
#include "station/dialogs/InfoForm.h"
#include "station/dialogs/KorrekturForm.h"
#include "station/dialogs/KurvenForm.h"
#include "station/dialogs/LegendeForm.h"
#include "station/dialogs/LogBatchForm.h"
#include "station/dialogs/LogSetupForm.h"
#include "station/dialogs/MRode_ConvertDlg.h"
#include "station/dialogs/OffsetForm.h"
#include "station/dialogs/RemarkDlg.h"
#include "station/dialogs/SetupForm.h"
#include "station/runtime/SerialLinePort.h"
#include "widgets/AboutDlg.h"

void TMain::CreateDialogs()
{
    context.Diagram = &Diagram;
    context.Ini = &iniFile;
    context.MainWindow = this;
    context.Redraw = [this] { FormResize(); };
    context.EnableKorrektur = [this](bool on) { EditMenu_Korrektur->setEnabled(on); };

    // The settings dialog opens the colour and batch dialogs, so those two come first.
    MRode_ConvertDlg = new TMRode_ConvertDlg(context);
    Diagramm_LadenDlg = new TDiagramm_LadenDlg(context);
    DeleteCurvesDlg = new TDeleteCurvesDlg(context);
    OffsetForm = new TOffsetForm(context);
    FarbDlg = new TFarbDlg(context);
    BatchForm = new TBatchForm(context);
    SetupForm = new TSetupForm(context, *FarbDlg, *BatchForm);
    RemarkDlg = new TRemarkDlg(context);
    LegendeForm = new TLegendeForm(context);
    AboutDlg = new TAboutDlg(
        this, "MOX_View",
        QString("<p><b>MOX_View</b> %1 – Magnetogramme anzeigen, korrigieren und als Logging-Station "
                "aufzeichnen.</p>"
                "<p>Teil des Projekts <b>MOX</b>: eine kleine geomagnetische Messstation mit Magnetometer, "
                "Aufzeichnung, K-Index und Web-Ausgabe.</p>"
                "<p>Informationen zum Projekt stehen in der Hilfe (Menü <i>Hilfe</i>, <i>MOX...</i> und "
                "<i>Mox_View...</i>) und in der Datei README des Programmpakets.</p>")
            .arg(MoxVersion()));
    InfoForm = new TInfoForm(context);
    KurvenForm = new TKurvenForm(context);
    KorrekturForm = new TKorrekturForm(context);
    FilterForm = new TFilterForm(context);
    LogBatchForm = new TLogBatchForm(context);
    LogSetupForm = new TLogSetupForm(context, serialPort ? &serialPort->Port() : nullptr);
    IagaCommands = new TIagaCommands(context);
    IagaCommands->RefreshCurveWindows = [this] {
        RefreshCurveWindows();
        KorrekturForm->CurvesLoaded();
    };

    Diagramm_LadenDlg->RefreshCurveWindows = [this] {
        RefreshCurveWindows();
        TellSkippedCorrections();
    };
    Diagramm_LadenDlg->RefreshKorrekturList = [this] { KorrekturForm->CurvesLoaded(); };
    DeleteCurvesDlg->RefreshCurveWindows = [this] { RefreshCurveWindows(); };
    DeleteCurvesDlg->HideKorrektur = [this] { KorrekturForm->CurvesRemoved(); };
    FarbDlg->ColorsChanged = [this] { RefreshCurveWindows(); };

    // A logging station's settings live in its runtime; the viewer keeps its own.
    StationSettings& settings = runtime ? runtime->Settings() : this->settings;
    BatchForm->StationFlags = [&settings] {
        return BatchOutputFlags{settings.BatchVorschau, settings.BatchVortag, settings.BatchWAP, settings.BatchHTML};
    };
    BatchForm->SetStationFlags = [&settings](const BatchOutputFlags& f) {
        settings.BatchVorschau = f.Vorschau;
        settings.BatchVortag = f.Vortag;
        settings.BatchWAP = f.WAP;
        settings.BatchHTML = f.HTML;
    };
    LogBatchForm->StationValues = [this, &settings] {
        return LogBatchValues{runtime ? runtime->BatchIntervalMinutes() : settings.IntervalMinutes,
                              settings.FtpTimeoutSeconds,
                              settings.FTP_Intervall,
                              settings.FTP_Kommando,
                              settings.BatchStandard,
                              settings.BatchBreite,
                              settings.BatchHoehe};
    };
    LogBatchForm->Applied = [this, &settings](const LogBatchValues& v) {
        settings.IntervalMinutes = v.IntervallMinuten;
        settings.FtpTimeoutSeconds = v.FTP_TimeoutSekunden;
        settings.FTP_Intervall = v.FTP_Intervall;
        settings.FTP_Kommando = v.FTP_Kommando;
        settings.BatchStandard = v.Standard;
        settings.BatchBreite = v.Breite;
        settings.BatchHoehe = v.Hoehe;
        if (runtime) runtime->ApplyBatchSettings();
    };
    LogSetupForm->StationDataDir = [&settings] { return settings.DataDir; };
    LogSetupForm->Applied = [&settings](const std::string& dataDir, const std::string& port) {
        if (!dataDir.empty()) settings.DataDir = dataDir;
        if (!port.empty()) settings.Port = port;
    };

    connect(AnsichtMenuKurveladen, &QAction::triggered, this, [this] {
        if (Diagramm_LadenDlg->exec() == QDialog::Accepted) FormResize();
    });
    connect(AnsichtMenuKurveLoeschen, &QAction::triggered, this, [this] {
        DeleteCurvesDlg->exec();
        FormResize();
    });
    connect(AnsichtMenuOffset, &QAction::triggered, this, [this] {
        OffsetForm->show();
        OffsetForm->raise();
        OffsetForm->activateWindow();
    });
    connect(AnsichtMenuFilter, &QAction::triggered, this, [this] {
        FilterForm->show();
        FilterForm->raise();
    });
    connect(AnsichtMenuLegende, &QAction::triggered, this, [this] {
        LegendeForm->exec();
        FormResize();
    });
    connect(AnsichtMenuKurveninformationen, &QAction::triggered, this, [this] {
        InfoForm->show();
        InfoForm->raise();
    });
    connect(EditMenu_Korrektur, &QAction::triggered, this, [this] { KorrekturForm->ShowAndFill(); });
    connect(ConvertMenueMagnetsrode, &QAction::triggered, this, [this] { MRode_ConvertDlg->exec(); });
    connect(ConvertMenuIaga, &QAction::triggered, this, [this] { IagaCommands->ImportClick(); });
    connect(DateiMenuIagaExport, &QAction::triggered, this, [this] { IagaCommands->ExportClick(); });
    connect(HilfeMenuAbout, &QAction::triggered, this, [this] { AboutDlg->exec(); });
    connect(EditMenu_Einstellungen, &QAction::triggered, this, [this] { SetupForm->exec(); });
    connect(LoggenBatchEinstellungen, &QAction::triggered, this, [this] { LogBatchForm->exec(); });
    connect(LoggenEinstellungen, &QAction::triggered, this, [this] { LoggenEinstellungenClick(); });
}

void TMain::LoggenEinstellungenClick()
{
    if (LogSetupForm->exec() == QDialog::Accepted && runtime) runtime->ApplyLogSetup();
}

void TMain::RefreshCurveWindows()
{
    if (InfoForm && InfoForm->isVisible()) InfoForm->FormActivate();
    if (KurvenForm && KurvenForm->isVisible()) KurvenForm->FormActivate();
}
