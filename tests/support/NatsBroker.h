#pragma once
// A NATS server of the test's own serving MQTT over JetStream on a free port of 127.0.0.1,
// with its store in the test's folder: the clustered broker a large network moves to.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Broker.h"

class NatsBroker {
public:
    explicit NatsBroker(const std::string& folder) : dir(folder)
    {
        std::filesystem::create_directories(dir);
        for (int attempt = 0; attempt < 5 && pid <= 0; ++attempt) {
            port = TestBroker::FreePort();
            clientPort = TestBroker::FreePort();
            if (!Start()) Stop();
        }
    }
    ~NatsBroker() { Stop(); }

    int Port() const { return port; }
    bool Running() const { return pid > 0; }

    bool Start()
    {
        if (pid > 0) return true;
        std::ofstream conf(dir + "/nats.conf");
        conf << "server_name: \"mox-test\"\n"
             << "listen: 127.0.0.1:" << clientPort << "\n"
             << "jetstream { store_dir: \"" << dir << "/store\" }\n"
             << "mqtt { listen: 127.0.0.1:" << port << " }\n"
             << "log_file: \"" << dir << "/nats.log\"\n";
        conf.close();
        std::string program = "/usr/sbin/nats-server", c = "-c", file = dir + "/nats.conf";
        char* argv[] = {program.data(), c.data(), file.data(), nullptr};
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
            pid = -1;
            return false;
        }
        return WaitFor([this] { return Ready() || Exited(); }, 20000) && !Exited();
    }

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
    // MQTT is served once the log says so (JetStream's streams come first).
    bool Ready() const
    {
        std::ifstream log(dir + "/nats.log");
        const std::string text((std::istreambuf_iterator<char>(log)), {});
        return text.rfind("Server is ready") != std::string::npos &&
               text.rfind("Server is ready") > text.rfind("Starting nats-server");
    }

    bool Exited()
    {
        if (pid <= 0) return true;
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return true;
        }
        return false;
    }

    std::string dir;
    int port = 0, clientPort = 0;
    pid_t pid = -1;
};
