#pragma once
// mox-collect's HTTP face: the HAPI server, the live page, /status.json. It runs on a thread
// of its own with Qt's event loop, so the collector's MQTT loop stays as it is and a slow
// browser never holds up the filing of lines. Qt-free header for the collector's main.
#include <memory>
#include <string>

struct WebOptions {
    std::string host = "127.0.0.1";
    int port = 0;
    int maxClients = 32;  // connections at once, the live page's included
    std::string root;     // the archive
};

// "ADDRESS:PORT" or "PORT" (then 127.0.0.1); "[::1]:8080" for IPv6. False with `error`.
bool ParseHttpAddress(const std::string& text, std::string& host, int& port, std::string& error);

class WebFace {
public:
    // Listening when it returns; null with `error` when the address cannot be used.
    static std::unique_ptr<WebFace> Start(const WebOptions& options, std::string& error);
    ~WebFace();
    WebFace(const WebFace&) = delete;
    WebFace& operator=(const WebFace&) = delete;

    // A message of a station's topic (mox/<Station>/raw, status, online); from any thread.
    void Take(const std::string& topic, const std::string& payload);
    // The port listened on (useful with port 0).
    int Port() const { return port; }

private:
    WebFace() = default;
    struct Thread;
    std::unique_ptr<Thread> thread;
    int port = 0;
};
