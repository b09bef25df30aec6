#include "station/app/MqttPublisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>

#include "station/app/MqttErrorText.h"

namespace {

// Lines handed to the network but not yet acknowledged. libmosquitto keeps these and sends
// them again after a reconnection by itself; the spool holds the rest back, so a long backlog
// is not copied into memory and the order survives a reconnection.
constexpr int kWindow = 20;
constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopTimeoutMs = 500;
constexpr int kMaxRetrySeconds = 10;

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// For MOSQ_ERR_ERRNO the library's text is that of errno.
std::string ErrorText(int rc) { return MqttErrorText(rc); }

}  // namespace

MqttPublisher::MqttPublisher(MqttSettings s, const std::string& spoolPath)
    : settings(std::move(s)),
      topicRaw("mox/" + settings.Station + "/raw"),
      topicStatus("mox/" + settings.Station + "/status"),
      topicOnline("mox/" + settings.Station + "/online"),
      spool(spoolPath)
{
    backlog = spool.Backlog();
    if (!spool.Error().empty()) problem = "MQTT-Spool " + spool.Error();
}

MqttPublisher::~MqttPublisher()
{
    Stop(0);
    if (mosq) mosquitto_destroy(mosq);
}

bool MqttPublisher::Start()
{
    InitLibrary();
    // A fixed client id: a restarted station takes over from its own stale connection.
    mosq = mosquitto_new(("mox-station-" + settings.Station).c_str(), true, this);
    if (!mosq) {
        SetProblem("MQTT: libmosquitto lässt sich nicht starten");
        return false;
    }
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(mosq, kWindow);
    // A line goes out when it is filed, not when the previous one is acknowledged by TCP.
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(mosq, OnConnect);
    mosquitto_disconnect_callback_set(mosq, OnDisconnect);
    mosquitto_publish_callback_set(mosq, OnPublish);
    int rc = mosquitto_will_set(mosq, topicOnline.c_str(), 1, "0", 1, true);
    if (rc == MOSQ_ERR_SUCCESS && (!settings.User.empty() || !settings.Password.empty()))
        rc = mosquitto_username_pw_set(mosq, settings.User.c_str(),
                                       settings.Password.empty() ? nullptr : settings.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !settings.CaFile.empty()) {
        rc = mosquitto_tls_set(mosq, settings.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            std::lock_guard<std::mutex> g(lock);
            SetProblem("MQTT: CA-Datei " + settings.CaFile + ": " + ErrorText(rc));
            return false;
        }
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard<std::mutex> g(lock);
        SetProblem("MQTT: " + ErrorText(rc));
        return false;
    }
    mosquitto_threaded_set(mosq, true);
    stopping = false;
    network = std::thread([this] { Run(); });
    started = true;
    return true;
}

void MqttPublisher::Run()
{
    int rc = mosquitto_connect(mosq, settings.Host.c_str(), settings.Port, kKeepAliveSeconds);
    int retrySeconds = 1;
    while (!stopping) {
        {
            // Lines and acknowledgments reach the medium also when the station falls quiet.
            std::lock_guard<std::mutex> g(lock);
            spool.SyncIfDue();
        }
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop(mosq, kLoopTimeoutMs, 1);
        if (rc == MOSQ_ERR_SUCCESS) {
            if (connected) retrySeconds = 1;
            continue;
        }
        {
            std::lock_guard<std::mutex> g(lock);
            if (session) {
                session = false;
                connected = false;
            }
            // The refusal of a login says more than the broken connection that follows it.
            if (problem.find("weist die Anmeldung ab") == std::string::npos)
                SetProblem("MQTT: Broker " + settings.Host + ":" + std::to_string(settings.Port) +
                           " nicht erreichbar (" + ErrorText(rc) + "); die Zeilen warten im Spool.");
        }
        // A broker that is away is asked again, less often the longer it stays away.
        for (int waited = 0; waited < retrySeconds * 10 && !stopping; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        retrySeconds = std::min(retrySeconds * 2, kMaxRetrySeconds);
        if (!stopping) rc = mosquitto_reconnect(mosq);
    }
}

void MqttPublisher::Stop(int waitMs)
{
    if (!started) return;
    started = false;
    {
        std::unique_lock<std::mutex> g(lock);
        if (session) {
            onlineSaidNo = true;
            mosquitto_publish(mosq, &onlineMid, topicOnline.c_str(), 1, "0", 1, true);
            acknowledged.wait_for(g, std::chrono::milliseconds(waitMs), [this] { return onlineMid < 0 || !session; });
        }
    }
    mosquitto_disconnect(mosq);
    stopping = true;
    network.join();
    connected = false;
    std::lock_guard<std::mutex> g(lock);
    spool.Sync();
}

void MqttPublisher::PublishLine(const std::string& line)
{
    std::lock_guard<std::mutex> g(lock);
    spool.Append(line);
    if (!spool.Error().empty()) SetProblem("MQTT-Spool " + spool.Error());
    backlog = spool.Backlog();
    SendMore();
}

void MqttPublisher::PublishStatus(const std::string& json)
{
    std::lock_guard<std::mutex> g(lock);
    if (!session) {
        pendingStatus = json;
        return;
    }
    pendingStatus.clear();
    mosquitto_publish(mosq, nullptr, topicStatus.c_str(), int(json.size()), json.data(), 1, true);
}

std::string MqttPublisher::Problem() const
{
    std::lock_guard<std::mutex> g(lock);
    return problem;
}

void MqttPublisher::SetProblem(const std::string& text) { problem = text; }

void MqttPublisher::SendMore()
{
    if (!session) return;
    const auto& pending = spool.Pending();
    for (auto it = pending.upper_bound(lastHanded); it != pending.end() && int(inFlight.size()) < kWindow; ++it) {
        int mid = 0;
        const int rc = mosquitto_publish(mosq, &mid, topicRaw.c_str(), int(it->second.size()),
                                         it->second.data(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
            // Not taken by the library (too long, out of memory): tried again with the next line.
            SetProblem("MQTT: Zeile nicht gesendet: " + ErrorText(rc));
            return;
        }
        // Taken, also when the connection has just dropped: the library sends it again.
        inFlight[mid] = it->first;
        lastHanded = it->first;
    }
}

void MqttPublisher::OnConnect(mosquitto* m, void* p, int rc)
{
    auto* self = static_cast<MqttPublisher*>(p);
    std::lock_guard<std::mutex> g(self->lock);
    if (rc != 0) {
        self->SetProblem("MQTT: Der Broker " + self->settings.Host + " weist die Anmeldung ab: " +
                         MqttConnackText(rc));
        return;
    }
    self->session = true;
    self->connected = true;
    self->problem.clear();
    mosquitto_publish(m, nullptr, self->topicOnline.c_str(), 1, "1", 1, true);
    if (!self->pendingStatus.empty()) {
        mosquitto_publish(m, nullptr, self->topicStatus.c_str(), int(self->pendingStatus.size()),
                          self->pendingStatus.data(), 1, true);
        self->pendingStatus.clear();
    }
    // Lines handed over before the connection dropped are resent by the library; new ones
    // follow only when those are through, so nothing overtakes them.
    if (self->inFlight.empty()) self->SendMore();
}

void MqttPublisher::OnDisconnect(mosquitto*, void* p, int rc)
{
    auto* self = static_cast<MqttPublisher*>(p);
    std::lock_guard<std::mutex> g(self->lock);
    self->session = false;
    self->connected = false;
    if (rc != 0)
        self->SetProblem("MQTT: Verbindung zum Broker " + self->settings.Host + " unterbrochen; "
                         "die Zeilen warten im Spool.");
    self->acknowledged.notify_all();
}

void MqttPublisher::OnPublish(mosquitto*, void* p, int mid)
{
    auto* self = static_cast<MqttPublisher*>(p);
    std::lock_guard<std::mutex> g(self->lock);
    if (mid == self->onlineMid && self->onlineSaidNo) {
        self->onlineMid = -1;
        self->acknowledged.notify_all();
        return;
    }
    const auto it = self->inFlight.find(mid);
    if (it == self->inFlight.end()) return;
    self->spool.Acknowledge(it->second);
    self->inFlight.erase(it);
    self->backlog = self->spool.Backlog();
    self->SendMore();
}
