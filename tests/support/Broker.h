#pragma once
// A mosquitto broker of the test's own on a free port of 127.0.0.1, with its store in the
// test's folder, so a stopped and restarted broker keeps the persistent sessions. Also a small
// subscriber that records what arrives.
#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Polls `done` every 20 ms until it holds or the time is up; returns done().
inline bool WaitFor(const std::function<bool()>& done, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A broker program of the test's own, started with a configuration file and ended on request.
class BrokerProcess {
public:
    ~BrokerProcess() { Stop(); }

    bool Running() const { return pid > 0; }

    // Starts `program -c config` and waits until `ready` holds; false when the program could
    // not start or ended before.
    bool Start(const std::string& program, const std::string& config, const std::function<bool()>& ready)
    {
        if (pid > 0) return true;
        std::string p = program, c = "-c", file = config;
        char* argv[] = {p.data(), c.data(), file.data(), nullptr};
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
            pid = -1;
            return false;
        }
        return WaitFor([&] { return ready() || Exited(); }, 20000) && !Exited();
    }

    // A clean stop: the broker writes its store, as on a service stop; SIGKILL for a crash.
    void Stop(int signal = SIGTERM)
    {
        if (pid <= 0) return;
        kill(pid, signal);
        if (!WaitFor([this] { return Exited(); }, 20000)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

private:
    bool Exited()
    {
        if (pid <= 0) return true;
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return true;
        }
        return false;
    }

    pid_t pid = -1;
};

class TestBroker {
public:
    // `listenerOptions`: lines for the listener, such as its TLS certificate files.
    // `persistence`: the broker keeps sessions and retained messages across a restart.
    explicit TestBroker(const std::string& folder, const std::string& listenerOptions = "", bool persistence = true)
        : dir(folder), options(listenerOptions), persist(persistence)
    {
        std::filesystem::create_directories(dir);
        for (int attempt = 0; attempt < 5 && !process.Running(); ++attempt) {
            port = FreePort();
            if (!Start()) Stop();
        }
    }

    int Port() const { return port; }
    bool Running() const { return process.Running(); }

    // Accepting connections on the port within the time.
    bool Start()
    {
        if (process.Running()) return true;
        std::ofstream conf(dir + "/mosquitto.conf");
        conf << "listener " << port << " 127.0.0.1\n"
             << options << "allow_anonymous true\n"
             << "persistence " << (persist ? "true" : "false") << "\n"
             << "persistence_location " << dir << "/\n"
             << "max_queued_messages 0\n"
             << "log_dest file " << dir << "/mosquitto.log\n";
        // Run as root (CI), the broker would switch to its own user, who may not write here.
        if (geteuid() == 0) conf << "user root\n";
        conf.close();
        return process.Start("/usr/sbin/mosquitto", dir + "/mosquitto.conf", [this] { return Accepts(); });
    }

    // A clean stop: the broker writes its store, as on a service stop; SIGKILL for a crash.
    void Stop(int signal = SIGTERM) { process.Stop(signal); }

    static int FreePort()
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int p = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            p = ntohs(a.sin_port);
        close(s);
        return p;
    }

private:
    bool Accepts() const
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    std::string dir, options;
    bool persist = true;
    int port = 0;
    BrokerProcess process;
};

// Subscribes to a topic filter and keeps every message (topic, payload, retained flag).
class TestSubscriber {
public:
    struct Message {
        std::string topic, payload;
        bool retained;
    };

    // With a client id the session is persistent: the broker keeps what comes while the
    // subscriber is away, also across a restart of the broker.
    TestSubscriber(int port, const std::string& filter, const std::string& persistentId = "") : filter(filter)
    {
        mosquitto_lib_init();
        m = mosquitto_new(persistentId.empty() ? nullptr : persistentId.c_str(), persistentId.empty(), this);
        mosquitto_connect_callback_set(m, [](mosquitto* m, void* p, int rc) {
            if (rc == 0) mosquitto_subscribe(m, nullptr, static_cast<TestSubscriber*>(p)->filter.c_str(), 1);
        });
        mosquitto_message_callback_set(m, [](mosquitto*, void* p, const mosquitto_message* msg) {
            auto* self = static_cast<TestSubscriber*>(p);
            std::lock_guard<std::mutex> g(self->lock);
            self->messages.push_back({msg->topic,
                                      std::string(static_cast<const char*>(msg->payload), std::size_t(msg->payloadlen)),
                                      msg->retain});
        });
        mosquitto_subscribe_callback_set(
            m, [](mosquitto*, void* p, int, int, const int*) { static_cast<TestSubscriber*>(p)->subscribed = true; });
        mosquitto_reconnect_delay_set(m, 1, 2, false);
        mosquitto_connect_async(m, "127.0.0.1", port, 30);
        mosquitto_loop_start(m);
    }
    ~TestSubscriber()
    {
        mosquitto_disconnect(m);
        mosquitto_loop_stop(m, true);
        mosquitto_destroy(m);
    }

    bool Subscribed() const { return subscribed; }
    std::vector<Message> Messages() const
    {
        std::lock_guard<std::mutex> g(lock);
        return messages;
    }
    // Payloads of one topic, in arrival order, second copies left out.
    std::vector<std::string> FirstCopies(const std::string& topic) const
    {
        std::vector<std::string> out;
        for (const std::string& p : Payloads(topic))
            if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
        return out;
    }
    // Payloads of one topic, in arrival order.
    std::vector<std::string> Payloads(const std::string& topic) const
    {
        std::vector<std::string> out;
        for (const Message& msg : Messages())
            if (msg.topic == topic) out.push_back(msg.payload);
        return out;
    }

private:
    std::string filter;
    mosquitto* m = nullptr;
    std::atomic<bool> subscribed{false};
    mutable std::mutex lock;
    std::vector<Message> messages;
};
