#pragma once
// Publishes a station's lines and state to an MQTT broker:
//   mox/<Station>/raw     every filed line, in order (QoS 1; QoS 0 beside an archive)
//   mox/<Station>/status  the state after each batch, retained
//   mox/<Station>/online  retained "1" while connected, "0" as the broker's last will
//   mox/<Station>/owner   retained: the installation (host name and data folder) that runs
//                         the station; a second installation with the same name that finds
//                         the first one online refuses to send and names it
// Every line goes through the spool file first. Without an archive a line leaves the spool
// when the broker has acknowledged it. With an archive (MqttSettings::Archive) the line also
// goes to mox/<Station>/line with its position and leaves the spool only when the collector
// says it has filed it; the collector's requests for older lines are answered from the day
// files (see NetProtocol.h). After a broker outage or a restart of the station the spool's
// lines go out again, oldest first.
//
// The network runs on a thread of its own, which reconnects by itself, each time with a new
// client so that nothing of an old connection overtakes the spool's order. The calls below
// may come from any one thread; the callbacks touch only this object, under its lock.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "lines/DayLineCount.h"
#include "lines/MqttSettings.h"
#include "station/app/LineSpool.h"

struct mosquitto;
struct mosquitto_message;

class MqttPublisher {
public:
    // `spoolPath`: the spool file; `dataDir`: the station's day files (needed with an
    // archive). Settings must have passed MqttSettingsProblem().
    MqttPublisher(MqttSettings settings, const std::string& spoolPath, const std::string& dataDir = "");
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts the network thread; false with Problem() when it cannot start at all.
    bool Start();
    // Says "0" on the online topic when connected, waits up to `waitMs` for the broker to
    // take it, and ends the network thread. Pending lines stay in the spool.
    void Stop(int waitMs = 2000);

    // `line` must already be in its day file when there is an archive.
    void PublishLine(const std::string& line);
    // Retained; when not connected the newest status goes out at the next connection.
    void PublishStatus(const std::string& json);
    // The station's record (StationRecord.h), retained on mox/<Station>/record at every
    // connection, for the collector to keep beside the station's day files.
    void SetRecord(const std::string& text);

    // Lines not yet acknowledged (by the collector with an archive, else by the broker).
    std::size_t Backlog() const { return backlog.load(); }
    bool Connected() const { return connected.load(); }
    // The latest problem in the observer's words, empty when there is none. Never contains
    // the password.
    std::string Problem() const;
    // Something to tell once (the spool file made again); empty when nothing is new.
    std::string TakeNotice();
    // The waiting lines are in memory only: the spool file cannot be made.
    bool SpoolInMemoryOnly() const;
    const MqttSettings& Settings() const { return settings; }

private:
    struct Fill {
        std::string day;
        std::uint64_t next = 0;  // index of the next line to send
        std::ifstream file;
    };

    void Run();         // the network thread
    bool NewClient();   // with the lock held
    void DropClient();  // with the lock held
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* msg);
    void SendMore();                                          // with the lock held
    void SendFill();                                          // with the lock held
    void ResendIfStale();                                     // with the lock held
    void Claim();                                             // with the lock held
    void Answer(const std::string& day, std::uint64_t from);  // with the lock held
    void SetProblem(const std::string& text);                 // with the lock held

    MqttSettings settings;
    std::string dataDir;
    std::string topicRaw, topicLine, topicFiled, topicRequest, topicStatus, topicOnline, topicOwner, topicRecord;
    std::string owner;  // this installation: host name and data folder
    mosquitto* mosq = nullptr;
    bool started = false;
    std::atomic<bool> stopping{false};
    std::thread network;

    mutable std::mutex lock;
    std::condition_variable acknowledged;
    LineSpool spool;
    DayLineCount dayLines;
    std::map<int, std::uint64_t> inFlight;  // message id -> spool sequence number
    std::uint64_t lastHanded = 0;           // newest sequence number given to the network
    // When the collector last released lines, or the lines were last sent again.
    std::chrono::steady_clock::time_point lastProgress{};
    int resendSeconds;  // doubled with each sending again that brought nothing
    std::unique_ptr<Fill> fill;
    std::deque<std::pair<std::string, std::uint64_t>> requests;
    std::string pendingStatus;
    std::string record;
    int onlineMid = -1;
    bool onlineSaidNo = false;
    bool refused = false;  // the broker refused the login: that stays the problem
    std::string problem;
    std::atomic<std::size_t> backlog{0};
    std::atomic<bool> connected{false};
    bool session = false;  // connected and the station's name claimed, under the lock
    bool linked = false;   // connected to the broker, the name not yet claimed
    std::chrono::steady_clock::time_point linkedAt{};
    std::string ownerSeen, onlineSeen;  // the broker's retained records of the station
    bool ownerRefused = false;          // another installation runs under this name
};
