#pragma once
// A NATS server of the test's own serving MQTT over JetStream on a free port of 127.0.0.1,
// with its store in the test's folder: the clustered broker a large network moves to.
#include <filesystem>
#include <fstream>
#include <string>

#include "Broker.h"

class NatsBroker {
public:
    explicit NatsBroker(const std::string& folder) : dir(folder)
    {
        std::filesystem::create_directories(dir);
        for (int attempt = 0; attempt < 5 && !process.Running(); ++attempt) {
            port = TestBroker::FreePort();
            clientPort = TestBroker::FreePort();
            if (!Start()) Stop();
        }
    }
    int Port() const { return port; }
    bool Running() const { return process.Running(); }

    bool Start()
    {
        if (process.Running()) return true;
        std::ofstream conf(dir + "/nats.conf");
        conf << "server_name: \"mox-test\"\n"
             << "listen: 127.0.0.1:" << clientPort << "\n"
             << "jetstream { store_dir: \"" << dir << "/store\" }\n"
             << "mqtt { listen: 127.0.0.1:" << port << " }\n"
             << "log_file: \"" << dir << "/nats.log\"\n";
        conf.close();
        return process.Start("/usr/sbin/nats-server", dir + "/nats.conf", [this] { return Ready(); });
    }

    void Stop(int signal = SIGTERM) { process.Stop(signal); }

private:
    // MQTT is served once the log says so (JetStream's streams come first).
    bool Ready() const
    {
        std::ifstream log(dir + "/nats.log");
        const std::string text((std::istreambuf_iterator<char>(log)), {});
        return text.rfind("Server is ready") != std::string::npos &&
               text.rfind("Server is ready") > text.rfind("Starting nats-server");
    }

    std::string dir;
    int port = 0, clientPort = 0;
    BrokerProcess process;
};
