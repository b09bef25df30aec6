// mox-collect: the central archive of a station network. Subscribes to every station's raw
// lines at an MQTT broker and files them as the stations do; runs headless until stopped.
#include <fcntl.h>
#include <sys/resource.h>
#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "collect/Collector.h"
#include "collect/Options.h"
#include "station/app/MqttErrorText.h"

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopTimeoutMs = 500;
constexpr int kMaxRetrySeconds = 30;
// Lines reach the medium within this time; the stations keep them meanwhile anyway.
constexpr int kSyncSeconds = 10;
const char* const kTopic = "mox/+/raw";

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

// Every line is written as it comes; the archive's file system is synced as a whole, on a
// thread of its own so that a slow medium never holds up the broker's messages.
class ArchiveSync {
public:
    explicit ArchiveSync(const std::string& root) : fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        thread = std::thread([this] {
            std::unique_lock<std::mutex> g(lock);
            while (!wake.wait_for(g, std::chrono::seconds(kSyncSeconds), [this] { return done; }))
                if (fd >= 0) syncfs(fd);
        });
    }
    ~ArchiveSync()
    {
        {
            std::lock_guard<std::mutex> g(lock);
            done = true;
        }
        wake.notify_all();
        thread.join();
        if (fd >= 0) {
            syncfs(fd);
            close(fd);
        }
    }

private:
    int fd;
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    std::thread thread;
};

struct Session {
    Collector* collector;
    const CollectOptions* options;
    bool connected = false;
    std::string lastMessage;
};

// Each distinct message once, so a broker that stays away does not fill the journal.
void Say(Session& s, const std::string& text)
{
    if (text == s.lastMessage) return;
    s.lastMessage = text;
    std::fprintf(stderr, "mox-collect: %s\n", text.c_str());
}

std::string ErrorText(int rc)
{
    return MqttErrorText(rc);
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
}

void OnDisconnect(mosquitto*, void* p, int rc)
{
    auto& s = *static_cast<Session*>(p);
    s.connected = false;
    if (rc != 0) Say(s, "Verbindung zum Broker unterbrochen; neuer Versuch folgt");
}

void OnMessage(mosquitto*, void* p, const mosquitto_message* msg)
{
    auto& s = *static_cast<Session*>(p);
    const std::string line(static_cast<const char*>(msg->payload), std::size_t(std::max(0, msg->payloadlen)));
    switch (s.collector->Take(msg->topic, line)) {
    case Collector::Result::Filed:
    case Collector::Result::Duplicate:
        break;
    case Collector::Result::Refused:
    case Collector::Result::Failed:
        std::fprintf(stderr, "mox-collect: %s\n", s.collector->Message().c_str());
        break;
    }
}

// Day files kept open at once: one per station, as far as the system lets us. Reopening a file
// for each line would cost an open, a sync and a close per line.
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

    mosquitto_lib_init();
    ArchiveSync sync(o.Root);
    Collector collector(o.Root, OpenFileBudget());
    Session session{&collector, &o, false, {}};
    // A persistent session under a fixed id: the broker keeps the lines while we are away.
    mosquitto* m = mosquitto_new(o.ClientId.c_str(), false, &session);
    if (!m) {
        std::fprintf(stderr, "mox-collect: libmosquitto lässt sich nicht starten\n");
        return 1;
    }
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Each acknowledgment goes out at once: held back by Nagle's algorithm, they let the broker
    // send only its in-flight window per delayed TCP acknowledgment, some 500 lines a second.
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m, OnConnect);
    mosquitto_disconnect_callback_set(m, OnDisconnect);
    mosquitto_message_callback_set(m, OnMessage);
    int rc = MOSQ_ERR_SUCCESS;
    if (!o.User.empty() || !password.empty())
        rc = mosquitto_username_pw_set(m, o.User.empty() ? nullptr : o.User.c_str(),
                                       password.empty() ? nullptr : password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !o.CaFile.empty()) {
        rc = mosquitto_tls_set(m, o.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) error = "CA-Datei " + o.CaFile + ": " + ErrorText(rc);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "mox-collect: %s\n", error.empty() ? ErrorText(rc).c_str() : error.c_str());
        mosquitto_destroy(m);
        return 1;
    }

    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    rc = mosquitto_connect(m, o.Host.c_str(), o.Port, kKeepAliveSeconds);
    int retry = 1;
    while (!stopRequested) {
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop(m, kLoopTimeoutMs, 1);
        if (rc == MOSQ_ERR_SUCCESS) {
            if (session.connected) retry = 1;
            continue;
        }
        Say(session, "Broker " + o.Host + ":" + std::to_string(o.Port) + " nicht erreichbar (" +
                         ErrorText(rc) + "); neuer Versuch folgt");
        for (int waited = 0; waited < retry * 10 && !stopRequested; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        retry = std::min(retry * 2, kMaxRetrySeconds);
        if (!stopRequested) rc = mosquitto_reconnect(m);
    }
    if (session.connected) {
        mosquitto_disconnect(m);
        mosquitto_loop(m, kLoopTimeoutMs, 1);
    }
    mosquitto_destroy(m);
    mosquitto_lib_cleanup();
    std::fprintf(stderr, "mox-collect: beendet; %llu Zeilen abgelegt, %llu doppelte verworfen\n",
                 static_cast<unsigned long long>(collector.LinesFiled()),
                 static_cast<unsigned long long>(collector.Duplicates()));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    CollectOptions options;
    std::string error;
    if (!ParseCollectOptions(args, options, error)) {
        std::fprintf(stderr, "mox-collect: %s\n\n%s", error.c_str(), kCollectUsage);
        return 2;
    }
    if (options.Help) {
        std::fputs(kCollectUsage, stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("mox-collect %s\n", MOX_VERSION);
        return 0;
    }
    return Run(options);
}
