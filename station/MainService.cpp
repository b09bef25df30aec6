// The logging station's unattended side in the window: feeds the service unit the port's
// events and the logger's results, tells its messages and shows its status.
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <chrono>

#include "station/MainWindow.h"
#include "station/StationMqtt.h"

namespace {

constexpr int kServiceTickMs = 1000;

double Steady()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void TMain::StartService()
{
    ServiceSettings s;
    s.SilenceSeconds = settings.StilleSekunden;
    s.ClockToleranceSeconds = settings.UhrToleranz;
    s.RetrySeconds = reopenTimer->interval() / 1000;
    s.NoDeviceSeconds = settings.ErsteZeileSekunden;
    s.Port = settings.Port;
    s.SettingsFile = iniFile.FileName();
    service = std::make_unique<StationService>(s);

    alertPanel = new QLabel(this);
    statusBar()->addPermanentWidget(alertPanel);
    alertPanel->hide();

    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] { ServiceTick(); });
    tick->start(kServiceTickMs);
    // Pinged from the event loop itself: a loop that hangs is restarted by the manager.
    if (const int ms = service->Notifier().WatchdogIntervalMs(); ms > 0) {
        auto* watchdog = new QTimer(this);
        connect(watchdog, &QTimer::timeout, this, [this] { service->Notifier().Ping(); });
        watchdog->start(ms);
        service->Notifier().Ping();
    }
    service->Started(ComPort.Connected(), Steady(), time(nullptr));
    ShowService();
}

void TMain::ServiceLineHandled(const std::string& line, DayLogger::Outcome outcome)
{
    if (!service) {
        SetStatusRed(lineRed);
        return;
    }
    Tell(service->LineHandled(line, outcome, *logger, Steady(), time(nullptr)));
    ShowService();
}

void TMain::ServiceTick()
{
    bool reopen = false;
    Tell(service->Tick(*logger, Steady(), reopen));
    if (mqtt) service->SetStatusPart(ServiceStatus::Part::Publisher, PublisherText(mqtt->Connected(), mqtt->Backlog()));
    // A deaf adapter often hears again once opened anew; a loss is handled as any other.
    if (reopen && !paused && !deviceLost) {
        if (ComPort.Connected()) ComPort.SetConnected(false);
        if (!OpenPort()) DeviceLost(ComPort.LastError());
    }
    ShowService();
}

void TMain::ServicePortState()
{
    if (!service) return;
    service->SetPort(settings.Port);
    if (paused) service->Paused();
    else if (deviceLost || !ComPort.Connected()) service->PortLost();
    else service->PortOpened(Steady(), time(nullptr));
    ShowService();
}

void TMain::ServiceStopping()
{
    if (!service) return;
    Tell(service->Stopping(*logger));
}

void TMain::ShowService()
{
    const QString alerts = QString::fromStdString(service->Status().Alerts());
    alertPanel->setText(alerts);
    alertPanel->setVisible(!alerts.isEmpty());
    SetStatusRed(lineRed);
}

void TMain::Tell(const ServiceMessages& messages)
{
    for (const ServiceMessage& m : messages) {
        if (m.Box) TellOnce(QString::fromStdString(m.Text), m.Level);
        else LogMessage(m.Level, m.Text);
    }
}

QString TMain::AlertPanel() const { return alertPanel ? alertPanel->text() : QString(); }
