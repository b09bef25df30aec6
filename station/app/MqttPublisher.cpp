#include "station/app/MqttPublisher.h"

#include <mosquitto.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "lines/LineDay.h"
#include "lines/NetProtocol.h"

#include "lines/MqttErrorText.h"

namespace {

// Lines handed to the network but not yet acknowledged by the broker; the spool holds the
// rest back, so a long backlog is not copied into memory.
constexpr int kWindow = 20;
constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopTimeoutMs = 500;
// Lines read back from a day file per turn of the network loop, so a request for a whole day
// neither fills the memory nor holds up the live lines for long.
constexpr int kFillPerTurn = 200;
// After connecting, the broker's retained owner record is awaited this long before the station
// claims its name.
constexpr int kClaimWaitMs = 700;
constexpr int kMaxResendSeconds = 3600;

using Clock = std::chrono::steady_clock;

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// For MOSQ_ERR_ERRNO the library's text is that of errno.
std::string ErrorText(int rc) { return MqttErrorText(rc); }

// How long the network loop may wait for traffic: while the owner record is awaited no longer
// than that wait has left, so that the name is claimed when it is up.
int LoopWaitMs(bool awaitingClaim, Clock::time_point linkedAt)
{
    if (!awaitingClaim) return kLoopTimeoutMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        linkedAt + std::chrono::milliseconds(kClaimWaitMs) - Clock::now());
    return int(std::clamp<long long>(left.count() + 1, 1, kLoopTimeoutMs));
}

}  // namespace

MqttPublisher::MqttPublisher(MqttSettings s, const std::string& spoolPath, const std::string& dir)
    : settings(std::move(s)), dataDir(dir), topicRaw(StationTopic(settings.Station, "raw")),
      topicLine(StationTopic(settings.Station, "line")), topicFiled(StationTopic(settings.Station, "filed")),
      topicRequest(StationTopic(settings.Station, "request")), topicStatus(StationTopic(settings.Station, "status")),
      topicOnline(StationTopic(settings.Station, "online")), topicOwner(StationTopic(settings.Station, "owner")),
      topicRecord(StationTopic(settings.Station, "record")), spool(spoolPath, 10, settings.SpoolLines), dayLines(dir),
      resendSeconds(settings.ResendSeconds)
{
    if (!dataDir.empty() && dataDir.back() != '/') dataDir += '/';
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    owner = std::string(host) + ":" + (dataDir.empty() ? spoolPath : dataDir);
    backlog = spool.Backlog();
    if (!spool.Error().empty()) problem = "MQTT-Spool " + spool.Error();
}

MqttPublisher::~MqttPublisher() { Stop(0); }

bool MqttPublisher::Start()
{
    InitLibrary();
    stopping = false;
    network = std::thread([this] { Run(); });
    started = true;
    return true;
}

bool MqttPublisher::NewClient()
{
    DropClient();
    // A client id of this installation: a restarted station takes over from its own stale
    // connection, but never from another station that was given the same name.
    char id[16];
    std::snprintf(id, sizeof id, "%08x",
                  unsigned(crc32(0, reinterpret_cast<const Bytef*>(owner.data()), uInt(owner.size()))));
    mosq = mosquitto_new(("mox-station-" + settings.Station + "-" + id).c_str(), true, this);
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
    mosquitto_message_callback_set(mosq, OnMessage);
    int rc = mosquitto_will_set(mosq, topicOnline.c_str(), 1, "0", 1, true);
    if (rc == MOSQ_ERR_SUCCESS && (!settings.User.empty() || !settings.Password.empty()))
        rc = mosquitto_username_pw_set(mosq, settings.User.c_str(),
                                       settings.Password.empty() ? nullptr : settings.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !settings.CaFile.empty()) {
        // Read at every attempt: a CA file put right later is used without a restart.
        if (access(settings.CaFile.c_str(), R_OK) != 0) {
            SetProblem("MQTT: Die CA-Datei " + settings.CaFile +
                       " fehlt oder ist nicht lesbar; neuer Versuch folgt, die Zeilen warten im Spool.");
            return false;
        }
        rc = mosquitto_tls_set(mosq, settings.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            SetProblem("MQTT: Die CA-Datei " + settings.CaFile + " ist kein brauchbares Zertifikat (" + ErrorText(rc) +
                       "); neuer Versuch folgt, die Zeilen warten im Spool.");
            return false;
        }
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        SetProblem("MQTT: " + ErrorText(rc));
        return false;
    }
    mosquitto_threaded_set(mosq, true);
    // Not blocking: a broker that never answers must not keep the station from stopping.
    rc = mosquitto_connect_async(mosq, settings.Host.c_str(), settings.Port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        if (!refused)
            SetProblem("MQTT: Broker " + settings.Host + ":" + std::to_string(settings.Port) + " nicht erreichbar (" +
                       ErrorText(rc) + "); die Zeilen warten im Spool.");
        return false;
    }
    return true;
}

void MqttPublisher::DropClient()
{
    session = false;
    linked = false;
    connected = false;
    // Whatever the old connection had in flight goes out again from the spool, in order.
    inFlight.clear();
    lastHanded = 0;
    fill.reset();
    if (mosq) mosquitto_destroy(mosq);
    mosq = nullptr;
}

void MqttPublisher::Run()
{
    int retrySeconds = 1;
    while (!stopping) {
        bool ok;
        {
            std::lock_guard<std::mutex> g(lock);
            ok = NewClient();
        }
        const auto begun = Clock::now();
        int rc = MOSQ_ERR_SUCCESS;
        while (ok && !stopping) {
            int due, waitMs;
            {
                // Lines and acknowledgments reach the medium also when the station falls quiet.
                std::lock_guard<std::mutex> g(lock);
                due = spool.SyncDue();
                Claim();
                SendFill();
                ResendIfStale();
                waitMs = LoopWaitMs(linked && !session, linkedAt);
            }
            LineSpool::SyncCopy(due);
            rc = mosquitto_loop(mosq, waitMs, 1);
            if (rc != MOSQ_ERR_SUCCESS) break;
            if (connected) retrySeconds = 1;
            else if (Clock::now() - begun > std::chrono::seconds(settings.ConnectSeconds)) {
                rc = MOSQ_ERR_CONN_LOST;
                break;
            }
        }
        int due;
        {
            std::lock_guard<std::mutex> g(lock);
            due = spool.SyncDue();
            if (ok && !stopping && !refused && !ownerRefused) {
                if (rc == MOSQ_ERR_TLS)
                    SetProblem("MQTT: Die TLS-Verbindung zum Broker " + settings.Host +
                               " kam nicht zustande: sein Zertifikat passt nicht zur CA-Datei, ist "
                               "abgelaufen oder nennt einen anderen Hostnamen; die Zeilen warten im Spool.");
                else
                    SetProblem("MQTT: Broker " + settings.Host + ":" + std::to_string(settings.Port) +
                               " nicht erreichbar (" + ErrorText(rc) + "); die Zeilen warten im Spool.");
            }
            DropClient();
        }
        LineSpool::SyncCopy(due);
        // A broker that is away is asked again, less often the longer it stays away; the spool
        // file is looked after meanwhile.
        for (int waited = 0; waited < retrySeconds * 10 && !stopping; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (waited % 10 == 9) {
                std::unique_lock<std::mutex> g(lock);
                const int copy = spool.SyncDue();
                g.unlock();
                LineSpool::SyncCopy(copy);
            }
        }
        retrySeconds = std::min(retrySeconds * 2, settings.RetryMaxSeconds);
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
        if (mosq) mosquitto_disconnect(mosq);
    }
    stopping = true;
    network.join();
    connected = false;
    std::lock_guard<std::mutex> g(lock);
    spool.Sync();
}

void MqttPublisher::PublishLine(const std::string& line)
{
    std::lock_guard<std::mutex> g(lock);
    if (settings.Archive) {
        std::string day;
        std::uint64_t lines = 0;
        if (DayOfLine(line, day) == LineDay::Found) lines = dayLines.Lines(day);
        // The line is in its day file already: it is the last one there.
        spool.Append(std::to_string(lines > 0 ? lines - 1 : 0) + " " + line);
        if (session) mosquitto_publish(mosq, nullptr, topicRaw.c_str(), int(line.size()), line.data(), 0, false);
    } else {
        spool.Append(line);
    }
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

void MqttPublisher::SetRecord(const std::string& text)
{
    std::lock_guard<std::mutex> g(lock);
    record = text;
    if (session) mosquitto_publish(mosq, nullptr, topicRecord.c_str(), int(record.size()), record.data(), 1, true);
}

std::string MqttPublisher::Problem() const
{
    std::lock_guard<std::mutex> g(lock);
    return problem;
}

std::string MqttPublisher::TakeNotice()
{
    std::lock_guard<std::mutex> g(lock);
    return spool.TakeNotice();
}

bool MqttPublisher::SpoolInMemoryOnly() const
{
    std::lock_guard<std::mutex> g(lock);
    return spool.InMemoryOnly();
}

void MqttPublisher::SetProblem(const std::string& text) { problem = text; }

void MqttPublisher::SendMore()
{
    if (!session) return;
    const auto& pending = spool.Pending();
    for (auto it = pending.upper_bound(lastHanded); it != pending.end() && int(inFlight.size()) < kWindow; ++it) {
        std::string payload;
        if (settings.Archive) payload = spool.Epoch() + " " + std::to_string(it->first) + " " + it->second;
        const std::string& text = settings.Archive ? payload : it->second;
        int mid = 0;
        const int rc = mosquitto_publish(mosq, &mid, settings.Archive ? topicLine.c_str() : topicRaw.c_str(),
                                         int(text.size()), text.data(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
            // Not taken by the library (too long, out of memory): tried again with the next line.
            SetProblem("MQTT: Zeile nicht gesendet: " + ErrorText(rc));
            return;
        }
        inFlight[mid] = it->first;
        lastHanded = it->first;
    }
}

void MqttPublisher::ResendIfStale()
{
    if (!settings.Archive || !session || !inFlight.empty() || spool.Pending().empty()) {
        lastProgress = Clock::now();
        return;
    }
    if (Clock::now() - lastProgress < std::chrono::seconds(resendSeconds)) return;
    lastProgress = Clock::now();
    // Without a collector nothing is ever acknowledged: the spool is sent again less often the
    // longer that lasts, not every few seconds in full.
    resendSeconds = std::min(resendSeconds * 2, kMaxResendSeconds);
    lastHanded = 0;
    SendMore();
}

void MqttPublisher::Answer(const std::string& day, std::uint64_t from)
{
    // A request already being answered from an earlier line covers this one.
    if (fill && fill->day == day && fill->next <= from) return;
    for (auto& r : requests)
        if (r.first == day) {
            r.second = std::min(r.second, from);
            return;
        }
    requests.emplace_back(day, from);
}

void MqttPublisher::SendFill()
{
    if (!session) return;
    if (!fill && !requests.empty()) {
        auto f = std::make_unique<Fill>();
        f->day = requests.front().first;
        const std::uint64_t from = requests.front().second;
        requests.pop_front();
        f->file.open(dataDir + f->day + ".txt", std::ios::binary);
        std::string skip;
        while (f->next < from && std::getline(f->file, skip)) ++f->next;
        if (f->file) fill = std::move(f);
    }
    if (!fill) return;
    std::string line;
    for (int sent = 0; sent < kFillPerTurn; ++sent) {
        // A last line without its line end is still being written: it goes later, whole.
        if (!std::getline(fill->file, line) || fill->file.eof()) {
            fill.reset();
            return;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string text = NetLineText({spool.Epoch(), 0, fill->next++, line});
        mosquitto_publish(mosq, nullptr, topicLine.c_str(), int(text.size()), text.data(), 1, false);
    }
}

void MqttPublisher::OnConnect(mosquitto* m, void* p, int rc)
{
    auto* self = static_cast<MqttPublisher*>(p);
    std::lock_guard<std::mutex> g(self->lock);
    if (rc != 0) {
        self->refused = true;
        self->SetProblem("MQTT: Der Broker " + self->settings.Host + " weist die Anmeldung ab: " + MqttConnackText(rc));
        return;
    }
    self->refused = false;
    self->linked = true;
    self->linkedAt = Clock::now();
    self->ownerSeen.clear();
    self->onlineSeen.clear();
    // Who runs this station now: the broker's retained records, before anything is sent.
    mosquitto_subscribe(m, nullptr, self->topicOwner.c_str(), 1);
    mosquitto_subscribe(m, nullptr, self->topicOnline.c_str(), 1);
}

void MqttPublisher::Claim()
{
    if (!linked || session || Clock::now() - linkedAt < std::chrono::milliseconds(kClaimWaitMs)) return;
    if (!ownerSeen.empty() && ownerSeen != owner && onlineSeen == "1") {
        // Another installation with this station's name is online: never take turns with it.
        if (!ownerRefused)
            SetProblem("MQTT: Die Stationskennung \"" + settings.Station + "\" ist schon vergeben: " + ownerSeen +
                       " sendet unter ihr. Diese Station (" + owner +
                       ") sendet nicht; bitte in [MQTT] eine eigene Stationskennung wählen.");
        ownerRefused = true;
        mosquitto_disconnect(mosq);
        return;
    }
    ownerRefused = false;
    session = true;
    connected = true;
    problem.clear();
    if (!spool.Error().empty()) SetProblem("MQTT-Spool " + spool.Error());
    mosquitto_unsubscribe(mosq, nullptr, topicOnline.c_str());
    mosquitto_publish(mosq, nullptr, topicOwner.c_str(), int(owner.size()), owner.data(), 1, true);
    mosquitto_publish(mosq, nullptr, topicOnline.c_str(), 1, "1", 1, true);
    if (!pendingStatus.empty()) {
        mosquitto_publish(mosq, nullptr, topicStatus.c_str(), int(pendingStatus.size()), pendingStatus.data(), 1, true);
        pendingStatus.clear();
    }
    if (!record.empty())
        mosquitto_publish(mosq, nullptr, topicRecord.c_str(), int(record.size()), record.data(), 1, true);
    if (settings.Archive) {
        mosquitto_subscribe(mosq, nullptr, topicFiled.c_str(), 1);
        mosquitto_subscribe(mosq, nullptr, topicRequest.c_str(), 1);
    }
    SendMore();
}

void MqttPublisher::OnDisconnect(mosquitto*, void* p, int rc)
{
    auto* self = static_cast<MqttPublisher*>(p);
    std::lock_guard<std::mutex> g(self->lock);
    self->session = false;
    self->linked = false;
    self->connected = false;
    if (rc != 0 && !self->refused && !self->ownerRefused)
        self->SetProblem("MQTT: Verbindung zum Broker " + self->settings.Host +
                         " unterbrochen; "
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
    // With an archive only the collector's word releases a line.
    if (!self->settings.Archive) self->spool.Acknowledge(it->second);
    self->inFlight.erase(it);
    self->backlog = self->spool.Backlog();
    self->SendMore();
}

void MqttPublisher::OnMessage(mosquitto*, void* p, const mosquitto_message* msg)
{
    auto* self = static_cast<MqttPublisher*>(p);
    const std::string text(static_cast<const char*>(msg->payload), std::size_t(std::max(0, msg->payloadlen)));
    std::lock_guard<std::mutex> g(self->lock);
    if (self->topicOwner == msg->topic) {
        self->ownerSeen = text;
    } else if (self->topicOnline == msg->topic) {
        self->onlineSeen = text;
    } else if (self->topicFiled == msg->topic) {
        NetFiled filed;
        // A number of an earlier spool file says nothing about this one's lines.
        if (ParseNetFiled(text, filed) && filed.epoch == self->spool.Epoch()) {
            if (self->spool.Backlog() > 0 && filed.seq >= self->spool.Pending().begin()->first) {
                self->lastProgress = Clock::now();
                self->resendSeconds = self->settings.ResendSeconds;
            }
            self->spool.AcknowledgeThrough(filed.seq);
            self->backlog = self->spool.Backlog();
        }
    } else if (self->topicRequest == msg->topic) {
        NetRequest request;
        if (ParseNetRequest(text, request)) self->Answer(request.day, request.from);
    }
}
