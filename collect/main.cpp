// mox-collect: the central archive of a station network. Subscribes to every station's raw
// lines at an MQTT broker and files them as the stations do; runs headless until stopped.
#include <fcntl.h>
#include <mosquitto.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "collect/Acknowledger.h"
#include "collect/Collector.h"
#include "collect/Options.h"
#include "collect/web/WebFace.h"
#include "lines/MqttErrorText.h"
#include "lines/NetProtocol.h"
#include "lines/ServiceNotifier.h"

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopTimeoutMs = 100;
// While lines wait for their day file or a sync runs, the loop looks for their end this often.
constexpr int kBusyLoopTimeoutMs = 5;
constexpr int kRefusalReportSeconds = 10;
const char* const kTopic = "mox/+/line";
const char* const kRecordTopic = "mox/+/record";
// The web face also shows each station's state and whether it is online.
const char* const kWebTopics[] = {"mox/+/status", "mox/+/online"};

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

struct Session {
    Collector* collector;
    const CollectOptions* options;
    ServiceNotifier* service;
    WebFace* web;
    bool connected = false;
    std::string lastMessage{};
    // Refusals since the last report, and the latest reason.
    std::uint64_t refused = 0;
    std::string lastRefusal{};
    Clock::time_point lastReport{};
    // Messages and acknowledgments read from the broker so far.
    std::uint64_t packets = 0;
};

// Each distinct message once, so a broker that stays away does not fill the journal.
void Say(Session& s, const std::string& text)
{
    if (text == s.lastMessage) return;
    s.lastMessage = text;
    std::fprintf(stderr, "mox-collect: %s\n", text.c_str());
}

std::string ErrorText(int rc) { return MqttErrorText(rc); }

// The connection the acknowledgments and requests go out on. mosquitto reads one message per
// connection and turn of its loop: on the collector's own connection the acknowledgments of
// thousands of stations would queue before its answers to the lines (PUBACK), and the broker
// sends no more lines while twenty of them wait for their answer.
struct AckLink {
    mosquitto* m = nullptr;
    bool connected = false;
    int refusal = 0;  // the broker's answer when it refused the connection
    Clock::time_point tried{};
};

void OnAckLinkConnect(mosquitto*, void* p, int rc)
{
    auto& link = *static_cast<AckLink*>(p);
    link.connected = rc == 0;
    link.refusal = rc;
}

void OnAckLinkDisconnect(mosquitto*, void* p, int) { static_cast<AckLink*>(p)->connected = false; }

// Reads and writes what waits on a connection; its result, MOSQ_ERR_SUCCESS while it stands.
int Serve(mosquitto* m, short revents, std::uint64_t* packets)
{
    constexpr int kMaxPackets = 1000;
    int rc = MOSQ_ERR_SUCCESS;
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        for (int i = 0; i < kMaxPackets && rc == MOSQ_ERR_SUCCESS; ++i) {
            const std::uint64_t before = packets ? *packets : 0;
            rc = mosquitto_loop_read(m, 1);
            if (!packets || *packets == before) break;
        }
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(m)) rc = mosquitto_loop_write(m, 1);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(m);
    return rc;
}

// One turn of the network loop. mosquitto_loop waits on the socket and on libmosquitto's
// wake-up pipe (which only other threads need), reads that pipe, and reads about one packet
// per wait; under load the next lines are there already. Here the sockets alone are waited on
// and every packet there is read, which saves two calls for most lines. The result is the
// collector's own connection's.
int Turn(mosquitto* m, Session& s, AckLink& link, int timeoutMs)
{
    const int sock = mosquitto_socket(m);
    if (sock < 0) return MOSQ_ERR_NO_CONN;
    const auto events = [](mosquitto* c) { return short(POLLIN | (mosquitto_want_write(c) ? POLLOUT : 0)); };
    pollfd p[2] = {{sock, events(m), 0}, {mosquitto_socket(link.m), events(link.m), 0}};
    const nfds_t n = p[1].fd >= 0 ? 2 : 1;
    if (poll(p, n, timeoutMs) < 0 && errno != EINTR) return MOSQ_ERR_ERRNO;
    if (n == 2 && Serve(link.m, p[1].revents, nullptr) != MOSQ_ERR_SUCCESS) link.connected = false;
    return Serve(m, p[0].revents, &s.packets);
}

void OnConnect(mosquitto* m, void* p, int rc)
{
    auto& s = *static_cast<Session*>(p);
    if (rc != 0) {
        Say(s, "der Broker weist die Anmeldung ab: " + MqttConnackText(rc));
        return;
    }
    s.connected = true;
    Say(s, "verbunden mit " + s.options->Host + ":" + std::to_string(s.options->Port));
    // The session outlives the connection, the subscription too; asking again costs nothing
    // and covers a broker that lost its store.
    mosquitto_subscribe(m, nullptr, kTopic, 1);
    mosquitto_subscribe(m, nullptr, kRecordTopic, 1);
    if (s.web)
        for (const char* topic : kWebTopics) mosquitto_subscribe(m, nullptr, topic, 0);
}

void OnDisconnect(mosquitto*, void* p, int rc)
{
    auto& s = *static_cast<Session*>(p);
    s.connected = false;
    if (rc != 0) Say(s, "Verbindung zum Broker unterbrochen; neuer Versuch folgt");
}

bool IsRecordTopic(const std::string& topic)
{
    return topic.size() > 7 && topic.compare(topic.size() - 7, 7, "/record") == 0;
}

// What became of a station's message: the page shows each line once, as filed; refusals are
// counted and told now and then, failures told.
void Tell(Session& s, Collector::Result result, const std::string& topic, const std::string& payload,
          const std::string& message)
{
    const bool record = IsRecordTopic(topic);
    if (s.web && !record && result == Collector::Result::Filed) s.web->Take(topic, payload);
    switch (result) {
    case Collector::Result::Filed:
    case Collector::Result::Duplicate:
    case Collector::Result::Gap:
    case Collector::Result::Held: break;
    case Collector::Result::Refused:
        // A hostile or broken publisher must not fill the journal.
        ++s.refused;
        s.lastRefusal = message;
        break;
    case Collector::Result::Failed:
        Say(s, message + "; die Stationen behalten die Zeilen, bis das Schreiben wieder geht");
        break;
    }
}

void OnPublished(mosquitto*, void* p, int) { ++static_cast<Session*>(p)->packets; }

void OnMessage(mosquitto*, void* p, const mosquitto_message* msg)
{
    auto& s = *static_cast<Session*>(p);
    ++s.packets;
    const std::string payload(static_cast<const char*>(msg->payload), std::size_t(std::max(0, msg->payloadlen)));
    const std::string topic = msg->topic;
    const bool record = IsRecordTopic(topic);
    if (s.web && !record && StationOfTopic(topic, "line").empty()) {
        s.web->Take(topic, payload);
        return;
    }
    const Collector::Result result =
        record ? s.collector->TakeRecord(topic, payload) : s.collector->Take(topic, payload);
    Tell(s, result, topic, payload, s.collector->Message());
}

void ReportRefusals(Session& s, bool now)
{
    if (s.refused == 0) return;
    if (!now && Clock::now() - s.lastReport < std::chrono::seconds(kRefusalReportSeconds)) return;
    std::fprintf(stderr, "mox-collect: %llu Nachrichten abgewiesen, zuletzt: %s\n",
                 static_cast<unsigned long long>(s.refused), s.lastRefusal.c_str());
    s.refused = 0;
    s.lastReport = Clock::now();
}

// Protocol, account and TLS, alike for both connections; false with `error`.
bool Configure(mosquitto* m, const CollectOptions& o, const std::string& password, std::string& error)
{
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Each answer goes out at once: held back by Nagle's algorithm, they let the broker send
    // only its in-flight window per delayed TCP acknowledgment, some 500 lines a second.
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
    int rc = MOSQ_ERR_SUCCESS;
    if (!o.User.empty() || !password.empty())
        rc = mosquitto_username_pw_set(m, o.User.empty() ? nullptr : o.User.c_str(),
                                       password.empty() ? nullptr : password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !o.CaFile.empty()) {
        rc = mosquitto_tls_set(m, o.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = "CA-Datei " + o.CaFile + ": " + ErrorText(rc);
            return false;
        }
    }
    if (rc != MOSQ_ERR_SUCCESS) error = ErrorText(rc);
    return rc == MOSQ_ERR_SUCCESS;
}

// Day files kept open at once: one per station, as far as the system lets us. Reopening a file
// for each line would cost an open and a close per line.
std::size_t OpenFileBudget()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 256;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 1 << 20);
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    // Room for the broker's socket, the standard files and libraries.
    return limit.rlim_cur > 320 ? std::size_t(limit.rlim_cur - 64) : 256;
}

int Run(const CollectOptions& o)
{
    std::error_code ec;
    std::filesystem::create_directories(o.Root, ec);
    if (!std::filesystem::is_directory(o.Root)) {
        std::fprintf(stderr, "mox-collect: Archivordner %s: %s\n", o.Root.c_str(),
                     ec ? ec.message().c_str() : "kein Ordner");
        return 1;
    }
    std::string password;
    std::string error;
    if (!o.PasswordFile.empty() && !ReadPasswordFile(o.PasswordFile, password, error)) {
        std::fprintf(stderr, "mox-collect: %s\n", error.c_str());
        return 1;
    }
    CollectorLimits limits;
    if (!o.StationsFile.empty() && !ReadStationsFile(o.StationsFile, limits.Stations, error)) {
        std::fprintf(stderr, "mox-collect: %s\n", error.c_str());
        return 1;
    }
    limits.MaxOpenFiles = OpenFileBudget();
    limits.RequestEvery = std::chrono::milliseconds(o.RequestMs);
    limits.BackgroundFileWork = true;

    std::unique_ptr<WebFace> web;
    if (!o.Http.empty()) {
        WebOptions w;
        w.root = o.Root;
        w.maxClients = o.HttpClients;
        if (ParseHttpAddress(o.Http, w.host, w.port, error)) web = WebFace::Start(w, error);
        if (!web) {
            std::fprintf(stderr, "mox-collect: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "mox-collect: Web-Ansicht auf http://%s:%d/\n", w.host.c_str(), web->Port());
    }

    mosquitto_lib_init();
    const int archiveFd = open(o.Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Collector collector(o.Root, limits);
    Acknowledger acknowledger(collector, archiveFd, std::chrono::milliseconds(o.AckMs));
    ServiceNotifier service;
    Session session{&collector, &o, &service, web.get()};
    // A persistent session under a fixed id: the broker keeps the lines while we are away.
    mosquitto* m = mosquitto_new(o.ClientId.c_str(), false, &session);
    AckLink link;
    link.m = mosquitto_new((o.ClientId + "-filed").c_str(), true, &link);
    if (!m || !link.m) {
        std::fprintf(stderr, "mox-collect: libmosquitto lässt sich nicht starten\n");
        return 1;
    }
    mosquitto_connect_callback_set(m, OnConnect);
    mosquitto_disconnect_callback_set(m, OnDisconnect);
    mosquitto_message_callback_set(m, OnMessage);
    mosquitto_publish_callback_set(m, OnPublished);
    mosquitto_connect_callback_set(link.m, OnAckLinkConnect);
    mosquitto_disconnect_callback_set(link.m, OnAckLinkDisconnect);
    if (!Configure(m, o, password, error) || !Configure(link.m, o, password, error)) {
        std::fprintf(stderr, "mox-collect: %s\n", error.c_str());
        mosquitto_destroy(m);
        mosquitto_destroy(link.m);
        return 1;
    }

    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // Ready once the archive is there; the broker may come later, the collector waits for it.
    service.Ready();
    auto lastPing = Clock::now();
    const auto alive = [&] {
        if (service.WatchdogIntervalMs() <= 0 ||
            Clock::now() - lastPing < std::chrono::milliseconds(service.WatchdogIntervalMs()))
            return;
        service.Ping();
        service.Status((session.connected ? "verbunden; " : "ohne Broker; ") + std::to_string(collector.LinesFiled()) +
                       " Zeilen abgelegt");
        lastPing = Clock::now();
    };
    int rc = mosquitto_connect(m, o.Host.c_str(), o.Port, kKeepAliveSeconds);
    int retry = 1;
    std::string complaint;
    while (!stopRequested) {
        alive();
        const int wait = acknowledger.Publishing()                           ? 0
                         : collector.Holding() > 0 || acknowledger.Syncing() ? kBusyLoopTimeoutMs
                                                                             : kLoopTimeoutMs;
        if (rc == MOSQ_ERR_SUCCESS) rc = Turn(m, session, link, wait);
        for (const Collector::Decision& d : collector.Pump()) Tell(session, d.result, d.topic, d.payload, d.message);
        // The second connection follows the first: the broker is there once the first stands.
        if (session.connected && !link.connected && mosquitto_socket(link.m) < 0 &&
            Clock::now() - link.tried >= std::chrono::seconds(1)) {
            link.tried = Clock::now();
            mosquitto_connect(link.m, o.Host.c_str(), o.Port, kKeepAliveSeconds);
        }
        if (link.refusal != 0) {
            Say(session, "der Broker weist die Verbindung für die Bestätigungen ab (" + MqttConnackText(link.refusal) +
                             "); die Stationen behalten ihre Zeilen");
            link.refusal = 0;
        }
        acknowledger.Turn(link.m, rc == MOSQ_ERR_SUCCESS && link.connected, complaint);
        if (!complaint.empty()) {
            Say(session, complaint);
            complaint.clear();
        }
        if (const std::string problem = collector.TakeProblem(); !problem.empty())
            Say(session, problem + "; neuer Versuch folgt");
        if (rc == MOSQ_ERR_SUCCESS) {
            if (session.connected) retry = 1;
            ReportRefusals(session, false);
            continue;
        }
        Say(session, "Broker " + o.Host + ":" + std::to_string(o.Port) + " nicht erreichbar (" + ErrorText(rc) +
                         "); neuer Versuch folgt");
        for (int waited = 0; waited < retry * 10 && !stopRequested; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            alive();
        }
        retry = std::min(retry * 2, o.RetryMaxSeconds);
        if (!stopRequested) rc = mosquitto_reconnect(m);
    }
    service.Stopping();
    // The last round, done here: everything filed is acknowledged before we go.
    for (const Collector::Decision& d : collector.Pump()) Tell(session, d.result, d.topic, d.payload, d.message);
    acknowledger.Finish(link.m, link.connected);
    if (link.connected) {
        // What did not fit into the socket at once is sent before the goodbye.
        for (int i = 0; i < 100 && mosquitto_want_write(link.m); ++i) mosquitto_loop(link.m, 20, 1);
        mosquitto_disconnect(link.m);
        mosquitto_loop(link.m, kLoopTimeoutMs, 1);
    }
    if (session.connected) {
        mosquitto_disconnect(m);
        mosquitto_loop(m, kLoopTimeoutMs, 1);
    }
    mosquitto_destroy(link.m);
    mosquitto_destroy(m);
    mosquitto_lib_cleanup();
    if (archiveFd >= 0) {
        syncfs(archiveFd);
        close(archiveFd);
    }
    ReportRefusals(session, true);
    std::fprintf(stderr,
                 "mox-collect: beendet; %llu Zeilen abgelegt, %llu schon vorhandene verworfen, %llu nicht "
                 "geschrieben (bleiben bei den Stationen), %llu Nachrichten abgewiesen\n",
                 static_cast<unsigned long long>(collector.LinesFiled()),
                 static_cast<unsigned long long>(collector.Duplicates()),
                 static_cast<unsigned long long>(collector.Failures()),
                 static_cast<unsigned long long>(collector.Refusals()));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    CollectOptions options;
    if (const int rc = ParseCollectOptions({argv + 1, argv + argc}, options, std::cout, std::cerr); rc >= 0) return rc;
    return Run(options);
}
