#include "station/runtime/StationRuntime.h"

#include <QFileInfo>
#include <QTimer>
#include <chrono>

#include "lines/MqttSettings.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/BatchRun.h"
#include "station/app/MqttPublisher.h"
#include "station/app/SkippedCorrections.h"
#include "station/app/StationStatus.h"
#include "station/runtime/UploadRunner.h"
#include "station/serial/ComPort.h"

namespace {

constexpr int kReopenIntervalSeconds = 3;
constexpr int kSyncIntervalSeconds = 10;
constexpr int kServiceTickMs = 1000;
const char* const kSpoolName = "mqtt-spool.dat";
const std::string kDeviceLost = "Keine Verbindung zum Gerät: ";
const std::string kLogging = "Logging...";

}  // namespace

RuntimeClock RuntimeClock::System()
{
    return {[] {
                using namespace std::chrono;
                return duration<double>(steady_clock::now().time_since_epoch()).count();
            },
            [] { return time(nullptr); }};
}

StationRuntime::StationRuntime(TIniFile& ini, TMOX_Diagram& diagram, const StationSettings& settings,
                               std::unique_ptr<LinePort> linePort, ReportChannel& reports, RuntimeClock clock,
                               std::unique_ptr<DayFileIO> io)
    : ini(ini), diagram(diagram), settings(settings), port(std::move(linePort)), reports(reports),
      clock(std::move(clock))
{
    uploads = new UploadRunner(this);
    uploads->OnProblem = [this](const std::string& problem) {
        this->reports.Tell({LogLevel::Warning, problem, "upload-run", true});
    };
    ServiceSettings s;
    s.SilenceSeconds = settings.StilleSekunden;
    s.ClockToleranceSeconds = settings.UhrToleranz;
    s.RetrySeconds = kReopenIntervalSeconds;
    s.NoDeviceSeconds = settings.ErsteZeileSekunden;
    s.Port = settings.Port;
    s.SettingsFile = ini.FileName();
    service = std::make_unique<StationService>(s);
    logger = std::make_unique<DayLogger>(settings.DataDir, kSyncIntervalSeconds, std::move(io));
    // The medium's syncs run beside the event loop: the watchdog's pings then say whether the
    // station runs, not how quick its card is.
    logger->SyncInBackground([this] {
        QMetaObject::invokeMethod(
            this, [this] { logger->FinishSyncs(); }, Qt::QueuedConnection);
    });
    port->OnLine = [this](const std::string& line) { HandleLine(line); };
    port->OnLost = [this](const std::string& reason) { Lost(reason); };
}

StationRuntime::~StationRuntime()
{
    port->OnLine = nullptr;
    port->OnLost = nullptr;
    if (mqtt) mqtt->Stop();
}

void StationRuntime::Start(bool withTimers)
{
    started = true;
    SetState(kLogging, kLogging);
    StartMqtt();
    // Lines that waited for the medium are published when they are filed.
    logger->OnWritten = [this](const std::string& line) {
        newestLine = line;
        if (mqtt) mqtt->PublishLine(line);
    };
    uploadSchedule = std::make_unique<UploadSchedule>(settings.FTP_Kommando, settings.FTP_Intervall);
    port->SetName(settings.Port);
    if (withTimers) {
        batchTimer = new QTimer(this);
        connect(batchTimer, &QTimer::timeout, this, [this] { RunBatch(); });
        batchTimer->start(BatchIntervalMinutes() * 60000);
        // Lines that came after the last sync reach the medium within the interval even when
        // the device sends only every two minutes.
        auto* syncTimer = new QTimer(this);
        connect(syncTimer, &QTimer::timeout, this, [this] { SyncLog(); });
        syncTimer->start(kSyncIntervalSeconds * 1000);
        reopenTimer = new QTimer(this);
        reopenTimer->setInterval(kReopenIntervalSeconds * 1000);
        connect(reopenTimer, &QTimer::timeout, this, [this] { TryReopen(); });
        auto* tick = new QTimer(this);
        connect(tick, &QTimer::timeout, this, [this] { Tick(); });
        tick->start(kServiceTickMs);
        // Pinged from the event loop itself: a loop that hangs is restarted by the manager.
        if (const int ms = service->Notifier().WatchdogIntervalMs(); ms > 0) {
            auto* watchdog = new QTimer(this);
            connect(watchdog, &QTimer::timeout, this, [this] { service->Notifier().Ping(); });
            watchdog->start(ms);
            service->Notifier().Ping();
        }
    }
    // Lines kept at the last stop are filed before the first new one.
    Tell(service->Restore(*logger));
    OpenOrLose();
    service->Started(port->IsOpen(), clock.Mono(), clock.Wall());
    Changed();
}

void StationRuntime::StartMqtt()
{
    const MqttSettings s = ReadMqttSettings(ini);
    if (!s.Enabled()) return;
    if (const std::string problem = MqttSettingsProblem(s); !problem.empty()) {
        reports.Tell({LogLevel::Warning, problem, "mqtt", true});
        return;
    }
    mqtt = std::make_unique<MqttPublisher>(s, settings.DataDir + kSpoolName, settings.DataDir);
    mqtt->SetRecord(StationRecordText(ini));
    if (!mqtt->Start()) {
        reports.Tell({LogLevel::Warning, mqtt->Problem(), "mqtt", true});
        mqtt.reset();
    }
}

void StationRuntime::Stop()
{
    if (!started) return;
    started = false;
    Tell(service->Stopping(*logger));
    logger->Close();
    if (reopenTimer) reopenTimer->stop();
    port->Close();
    if (mqtt) mqtt->Stop();
}

void StationRuntime::OpenOrLose()
{
    if (!port->Open()) Lost(port->LastError());
}

void StationRuntime::HandleLine(const std::string& line)
{
    const DayLogger::Outcome outcome = logger->HandleLine(line);
    if (outcome == DayLogger::Outcome::Logged) {
        title = "Logging " + DayLogger::ComponentText(line) + "...";
        lineRed = false;
    } else if (outcome != DayLogger::Outcome::Ignored) {
        // Line noise is shown, not worth a message; a line that waits is told by the service.
        lineRed = true;
    }
    Tell(service->LineHandled(line, outcome, *logger, clock.Mono(), clock.Wall()));
    // The day file's name is enough beside the line; the folder is in the log settings.
    lineText = QFileInfo(QString::fromStdString(logger->LogFileName())).fileName().toStdString() + ": " + line;
    if (OnLine) OnLine();
}

void StationRuntime::Lost(const std::string& reason)
{
    if (paused) return;
    deviceLost = true;
    logger->Close();
    SetState("Gerät getrennt...", "Getrennt");
    reports.Tell({LogLevel::Warning,
                  kDeviceLost + reason + "\nDie Schnittstelle wird alle paar Sekunden wieder geöffnet.", "port", true});
    if (reopenTimer) reopenTimer->start();
    PortStateToService();
}

void StationRuntime::TryReopen()
{
    if (paused || !deviceLost) {
        if (reopenTimer) reopenTimer->stop();
        return;
    }
    if (!port->Open()) return;
    deviceLost = false;
    if (reopenTimer) reopenTimer->stop();
    SetState(kLogging, kLogging);
    // Said under the loss's key: a window still showing the loss shows this instead, so the
    // observer still learns of the gap in the day's log.
    reports.Tell({LogLevel::Info,
                  "Das Gerät ist wieder verbunden (" + ComPortDevicePath(port->Name()) + ", " + UtcTime(clock.Wall()) +
                      " UTC); das Loggen läuft weiter.",
                  "port", false});
    PortStateToService();
}

void StationRuntime::SetPaused(bool pause)
{
    if (!started || pause == paused) return;
    if (pause) {
        paused = true;
        deviceLost = false;
        if (reopenTimer) reopenTimer->stop();
        port->Close();
        SetState("Pause...", "Pause...");
        logger->Close();
    } else {
        paused = false;
        SetState(kLogging, kLogging);
        OpenOrLose();
    }
    PortStateToService();
}

void StationRuntime::ApplyLogSetup()
{
    // The next line opens the day's file anew, in the folder now set; the port opens under
    // the name now set.
    logger->SetDataDir(settings.DataDir);
    if (!settings.Port.empty()) port->SetName(settings.Port);
    if (paused) return;
    port->Close();
    deviceLost = false;
    OpenOrLose();
    PortStateToService();
}

void StationRuntime::ApplyBatchSettings()
{
    if (uploadSchedule) uploadSchedule->Set(settings.FTP_Kommando, settings.FTP_Intervall);
    if (batchTimer) batchTimer->start(BatchIntervalMinutes() * 60000);
}

int StationRuntime::BatchIntervalMinutes() const { return std::max(1, settings.IntervalMinutes); }

void StationRuntime::PortStateToService()
{
    service->SetPort(settings.Port);
    if (paused) service->Paused();
    else if (deviceLost || !port->IsOpen()) service->PortLost();
    else service->PortOpened(clock.Mono(), clock.Wall());
    Changed();
}

void StationRuntime::Tell(const ServiceMessages& messages)
{
    for (const ServiceMessage& m : messages) reports.Tell({m.Level, m.Text, "", m.Box});
}

void StationRuntime::Tick()
{
    if (!started) return;
    bool reopen = false;
    Tell(service->Tick(*logger, clock.Mono(), reopen));
    if (mqtt) {
        service->SetStatusPart(ServiceStatus::Part::Publisher, PublisherText(mqtt->Connected(), mqtt->Backlog()));
        // Outages come and go in a network; the journal hears of each change once.
        reports.Tell({LogLevel::Warning, mqtt->Problem(), "mqtt", false});
        reports.Tell({LogLevel::Info, mqtt->TakeNotice(), "", false});
    }
    // A deaf adapter often hears again once opened anew; a loss is handled as any other.
    if (reopen && !paused && !deviceLost) {
        port->Close();
        OpenOrLose();
    }
    Changed();
}

void StationRuntime::SyncLog() { logger->Sync(); }

void StationRuntime::RunBatch()
{
    if (!started || paused || deviceLost) return;
    const std::string log = logger->LogFileName();
    if (log.empty() || !FileExists(log)) return;

    // Every line is in the file whole when it was logged, so a copy taken between two lines
    // is a clean snapshot: the port stays open and no line is lost while copying.
    logger->Sync();
    const std::string source = daySnapshot.Take(log, SnapshotName(settings.DataDir), SpareSnapshotFolder());
    if (!daySnapshot.Problem().empty()) reports.Tell({LogLevel::Warning, daySnapshot.Problem(), "", true});
    if (source.empty()) return;

    if (OnBusy) OnBusy(true);
    const std::string error = LoadSnapshot(diagram, source, settings.BatchVortag);
    reports.Tell(
        {LogLevel::Warning, error.empty() ? "" : "Der Tag konnte nicht geladen werden: " + error, "day", true});
    if (diagram.is_empty()) {
        if (OnBusy) OnBusy(false);
        return;
    }
    diagram.bestimme_K_Wert();
    reports.Tell({LogLevel::Warning, SkippedCorrectionLines(diagram), "corrections", true});
    if (OnDayLoaded) OnDayLoaded();
    if (mqtt)
        mqtt->PublishStatus(
            StationStatusJson(diagram, settings.BatchVortag, mqtt->Settings().Station, newestLine, mqtt->Backlog()));

    BatchOutputs out;
    out.ImageDir = ReadImageDir(ini);
    out.Size = settings.BatchStandard ? kStandardImage : ImageSize{settings.BatchBreite, settings.BatchHoehe};
    out.Format = ReadImageFormat(ini);
    out.WithPreviousDay = settings.BatchVortag;
    out.Preview = settings.BatchVorschau;
    out.Wap = settings.BatchWAP;
    out.Html = settings.BatchHTML;
    Reports told;
    const bool published = PublishDay(diagram, out, told);
    reports.Tell(told);
    if (published) {
        ++batchCount;
        if (uploadSchedule && uploadSchedule->BatchDone()) {
            const bool startedUpload =
                uploads->Start(uploadSchedule->Command(), "", std::max(1, settings.FtpTimeoutSeconds) * 1000);
            reports.Tell({LogLevel::Warning,
                          startedUpload ? "" : "Das Upload-Kommando startet nicht: " + uploads->LastError(), "upload",
                          true});
        }
    }
    if (OnBusy) OnBusy(false);
}

std::string StationRuntime::MqttText() const
{
    if (!mqtt) return {};
    std::string text = mqtt->Connected() ? "MQTT" : "MQTT getrennt";
    if (const std::size_t backlog = mqtt->Backlog(); backlog > 0) text += ": " + std::to_string(backlog) + " wartend";
    if (mqtt->SpoolInMemoryOnly()) text += " (nur im Speicher)";
    return text;
}

std::string StationRuntime::MqttProblem() const { return mqtt ? mqtt->Problem() : std::string(); }

std::size_t StationRuntime::MqttBacklog() const { return mqtt ? mqtt->Backlog() : 0; }

void StationRuntime::SetState(const std::string& newTitle, const std::string& newPortState)
{
    title = newTitle;
    portState = newPortState;
}

void StationRuntime::Changed()
{
    if (OnStateChanged) OnStateChanged();
}
