#pragma once
// The station window's side of publishing over MQTT: makes the publisher from the settings,
// hands it the filed lines and the state after each batch, and shows the connection and the
// backlog in the status bar. The network work itself runs in MqttPublisher, off the window's
// thread; this object only polls it from a timer.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "station/app/MqttPublisher.h"

class QLabel;
class QStatusBar;
class QTimer;
class TIniFile;
class TMOX_Diagram;

class StationMqtt : public QObject {
public:
    // Null when "MQTT" / "Host" is empty, or when the settings are unusable (then `tell` has
    // been given the reason).
    static std::unique_ptr<StationMqtt> FromSettings(const TIniFile& ini, const std::string& dataDir,
                                                     QStatusBar* bar,
                                                     const std::function<void(const QString&)>& tell);
    ~StationMqtt() override;

    void LineFiled(const std::string& line);
    void BatchDone(const TMOX_Diagram& diagram, bool withPreviousDay);
    std::size_t Backlog() const { return publisher->Backlog(); }
    bool Connected() const { return publisher->Connected(); }

private:
    StationMqtt(std::unique_ptr<MqttPublisher> p, QStatusBar* bar);
    void Refresh();

    std::unique_ptr<MqttPublisher> publisher;
    std::string newestLine;
    std::string lastProblem;
    QLabel* label = nullptr;
    QTimer* timer = nullptr;
};
