#pragma once
// The logging station without a window: it owns the device's port with its pause, loss and
// reopen, the day logger, the service side (notifications, silence and clock watches, lines
// waiting for the medium), the MQTT publisher, the periodic batch and the upload. It runs on
// QtCore alone: the headless station runs it by itself, the window shows it. Its clock comes
// from outside, and every timer's work is a public call, so tests drive a day in milliseconds.
#include <QObject>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "lines/DayLogger.h"
#include "station/app/BatchPlan.h"
#include "station/app/DaySnapshot.h"
#include "station/app/Reports.h"
#include "station/app/StationService.h"
#include "station/app/StationSettings.h"
#include "station/runtime/LinePort.h"

class MqttPublisher;
class QTimer;
class TIniFile;
class TMOX_Diagram;
class UploadRunner;

struct RuntimeClock {
    std::function<double()> Mono;  // seconds, steady
    std::function<time_t()> Wall;  // UTC
    static RuntimeClock System();
};

class StationRuntime : public QObject {
public:
    // `settings` as read from `ini` for a logging station; `reports` receives everything the
    // observer is told. The diagram is the one the batch loads and draws. `io`: the day files'
    // medium, the real one when not given.
    StationRuntime(TIniFile& ini, TMOX_Diagram& diagram, const StationSettings& settings,
                   std::unique_ptr<LinePort> port, ReportChannel& reports, RuntimeClock clock = RuntimeClock::System(),
                   std::unique_ptr<DayFileIO> io = nullptr);
    ~StationRuntime() override;

    // Opens the port and begins logging. With `withTimers`, the runtime's own timers run the
    // service tick, the syncs, the reopening and the batch; without, the caller does.
    void Start(bool withTimers = true);
    // The station ends: waiting lines tried a last time, day log closed, port closed.
    void Stop();
    void SetPaused(bool pause);

    // The timers' work.
    void Tick();       // about once a second: waiting lines, silence, publisher status
    void SyncLog();    // lines since the last sync onto the medium
    void TryReopen();  // a lost port, every few seconds
    void RunBatch();   // the periodic batch

    // The log settings dialog has set a new data folder or port.
    void ApplyLogSetup();
    // The batch settings dialog has set a new interval or upload.
    void ApplyBatchSettings();

    StationSettings& Settings() { return settings; }
    LinePort& Port() { return *port; }
    DayLogger& Logger() { return *logger; }
    StationService& Service() { return *service; }
    UploadRunner& Uploads() { return *uploads; }
    bool Paused() const { return paused; }
    bool DeviceLost() const { return deviceLost; }
    int BatchCount() const { return batchCount; }
    int BatchIntervalMinutes() const;

    // What the window and the task bar show.
    const std::string& Title() const { return title; }          // "Logging X/Y...", "Pause..."
    const std::string& PortState() const { return portState; }  // "Logging...", "Getrennt"
    // The latest line with its day file's name; whether it could not be taken.
    const std::string& LineText() const { return lineText; }
    bool LineRed() const { return lineRed; }
    // Silence, a wrong clock, lines waiting: needs the observer.
    bool Alarm() const { return service->Alarm(); }
    std::string Alerts() const { return service->Status().Alerts(); }
    // The publisher's state, empty when the station does not publish; its problem.
    std::string MqttText() const;
    std::string MqttProblem() const;
    // Lines not yet acknowledged by the broker; 0 when the station does not publish.
    std::size_t MqttBacklog() const;

    // A line has been handled; the state shown has changed; the batch has loaded a new day
    // into the diagram; a batch runs (busy) or has ended.
    std::function<void()> OnLine;
    std::function<void()> OnStateChanged;
    std::function<void()> OnDayLoaded;
    std::function<void(bool busy)> OnBusy;

private:
    void HandleLine(const std::string& line);
    void Lost(const std::string& reason);
    void OpenOrLose();
    void PortStateToService();
    void Tell(const ServiceMessages& messages);
    void StartMqtt();
    void SetState(const std::string& newTitle, const std::string& newPortState);
    void Changed();

    TIniFile& ini;
    TMOX_Diagram& diagram;
    StationSettings settings;
    std::unique_ptr<LinePort> port;
    ReportChannel& reports;
    RuntimeClock clock;

    std::unique_ptr<DayLogger> logger;
    std::unique_ptr<StationService> service;
    std::unique_ptr<MqttPublisher> mqtt;
    UploadRunner* uploads = nullptr;
    std::unique_ptr<UploadSchedule> uploadSchedule;
    DaySnapshot daySnapshot;
    std::string newestLine;

    QTimer* batchTimer = nullptr;
    QTimer* reopenTimer = nullptr;
    bool started = false;
    bool paused = false;
    bool deviceLost = false;
    bool lineRed = false;
    int batchCount = 0;
    std::string title, portState, lineText;
};
