#include "station/StationMqtt.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "mox/rtl/IniFile.h"
#include "station/app/StationLog.h"
#include "mox/rtl/StationRecord.h"
#include "station/app/StationStatus.h"

namespace {

constexpr int kRefreshMs = 1000;
const char* const kSpoolName = "mqtt-spool.dat";

}  // namespace

std::unique_ptr<StationMqtt> StationMqtt::FromSettings(const TIniFile& ini, const std::string& dataDir,
                                                       QStatusBar* bar,
                                                       const std::function<void(const QString&)>& tell)
{
    const MqttSettings settings = ReadMqttSettings(ini);
    if (!settings.Enabled()) return nullptr;
    const std::string problem = MqttSettingsProblem(settings);
    if (!problem.empty()) {
        tell(QString::fromStdString(problem));
        return nullptr;
    }
    auto publisher = std::make_unique<MqttPublisher>(settings, dataDir + kSpoolName, dataDir);
    publisher->SetRecord(StationRecordText(ini));
    if (!publisher->Start()) {
        tell(QString::fromStdString(publisher->Problem()));
        return nullptr;
    }
    return std::unique_ptr<StationMqtt>(new StationMqtt(std::move(publisher), bar));
}

StationMqtt::StationMqtt(std::unique_ptr<MqttPublisher> p, QStatusBar* bar)
    : publisher(std::move(p))
{
    label = new QLabel(bar);
    bar->addPermanentWidget(label);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
    timer->start(kRefreshMs);
    Refresh();
}

StationMqtt::~StationMqtt()
{
    timer->stop();
    publisher->Stop();
}

void StationMqtt::LineFiled(const std::string& line)
{
    newestLine = line;
    publisher->PublishLine(line);
}

void StationMqtt::BatchDone(const TMOX_Diagram& diagram, bool withPreviousDay)
{
    publisher->PublishStatus(StationStatusJson(diagram, withPreviousDay, publisher->Settings().Station, newestLine));
}

void StationMqtt::Refresh()
{
    const std::size_t backlog = publisher->Backlog();
    QString text = publisher->Connected() ? "MQTT" : "MQTT getrennt";
    if (backlog > 0) text += QString(": %1 wartend").arg(backlog);
    if (publisher->SpoolInMemoryOnly()) text += " (nur im Speicher)";
    label->setText(text);
    // Outages come and go in a network; the journal hears of each change once.
    const std::string notice = publisher->TakeNotice();
    if (!notice.empty()) LogMessage(LogLevel::Info, notice);
    const std::string problem = publisher->Problem();
    if (problem != lastProblem && !problem.empty()) LogMessage(LogLevel::Warning, problem);
    label->setToolTip(QString::fromStdString(problem));
    lastProblem = problem;
}
