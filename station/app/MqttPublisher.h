#pragma once
// Publishes a station's lines and state to an MQTT broker:
//   mox/<Station>/raw     every filed line, QoS 1, in order
//   mox/<Station>/status  the state after each batch, retained
//   mox/<Station>/online  retained "1" while connected, "0" as the broker's last will
// Every line goes through the spool file first, so a line leaves the spool only when the
// broker has acknowledged it; after a broker outage or a restart of the station the spool's
// lines go out again, oldest first.
//
// The network runs on a thread of its own, which reconnects by itself. The calls below may come from any one thread; the callbacks touch only this object,
// under its lock, never a window.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "station/app/LineSpool.h"
#include "lines/MqttSettings.h"

struct mosquitto;

class MqttPublisher {
public:
    // `spoolPath`: the spool file, in the data folder. Settings must have passed
    // MqttSettingsProblem().
    MqttPublisher(MqttSettings settings, const std::string& spoolPath);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts the network thread; false with Problem() when it cannot start at all.
    bool Start();
    // Says "0" on the online topic when connected, waits up to `waitMs` for the broker to
    // take it, and ends the network thread. Pending lines stay in the spool.
    void Stop(int waitMs = 2000);

    void PublishLine(const std::string& line);
    // Retained; when not connected the newest status goes out at the next connection.
    void PublishStatus(const std::string& json);

    // Lines not yet acknowledged by the broker.
    std::size_t Backlog() const { return backlog.load(); }
    bool Connected() const { return connected.load(); }
    // The latest problem in the observer's words, empty when there is none. Never contains
    // the password.
    std::string Problem() const;
    const MqttSettings& Settings() const { return settings; }

private:
    void Run();  // the network thread
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    void SendMore();  // with the lock held
    void SetProblem(const std::string& text);  // with the lock held

    MqttSettings settings;
    std::string topicRaw, topicStatus, topicOnline;
    mosquitto* mosq = nullptr;
    bool started = false;
    std::atomic<bool> stopping{false};
    std::thread network;

    mutable std::mutex lock;
    std::condition_variable acknowledged;
    LineSpool spool;
    std::map<int, std::uint64_t> inFlight;  // message id -> spool sequence number
    std::uint64_t lastHanded = 0;           // newest sequence number given to the network
    std::string pendingStatus;
    int onlineMid = -1;
    bool onlineSaidNo = false;
    std::string problem;
    std::atomic<std::size_t> backlog{0};
    std::atomic<bool> connected{false};
    bool session = false;  // connected, under the lock
};
