#include "collect/web/WebFace.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include <QCoreApplication>
#include <QHostAddress>

#include "collect/web/WebServer.h"
#include "mox/rtl/SysUtils.h"

bool ParseHttpAddress(const std::string& text, std::string& host, int& port, std::string& error)
{
    std::string portText = text;
    host = "127.0.0.1";
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    }
    char* end = nullptr;
    const long p = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || p < 0 || p > 65535) {
        error = "--http: " + text + " ist keine Adresse (ADRESSE:PORT oder PORT)";
        return false;
    }
    if (host.empty() || QHostAddress(QString::fromStdString(host)).isNull()) {
        error = "--http: " + host + " ist keine IP-Adresse";
        return false;
    }
    port = int(p);
    return true;
}

struct WebFace::Thread {
    std::thread thread;
    QCoreApplication* app = nullptr;
    WebServer* server = nullptr;
    std::string workDir;
};

std::unique_ptr<WebFace> WebFace::Start(const WebOptions& o, std::string& error)
{
    std::unique_ptr<WebFace> face(new WebFace);
    face->thread = std::make_unique<Thread>();
    Thread& t = *face->thread;
    std::string pattern = (std::filesystem::temp_directory_path() / "mox-collect-web-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "kein Arbeitsordner für die Web-Ansicht in " + std::filesystem::temp_directory_path().string();
        return nullptr;
    }
    t.workDir = pattern;
    // Set once before the thread starts: the conversion leaves them as they are then.
    UseStationFormats();
    std::promise<std::string> started;
    std::future<std::string> result = started.get_future();
    const int port = o.port;
    t.thread = std::thread([&t, &started, o, port, face = face.get()] {
        static int argc = 1;
        static char name[] = "mox-collect";
        static char* argv[] = {name, nullptr};
        // Qt takes the locale from the environment; the rest of the program keeps its own.
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        QCoreApplication app(argc, argv);
        std::setlocale(LC_ALL, locale.c_str());
        WebServer server(o.root, t.workDir, o.maxClients);
        QString problem;
        if (!server.Listen(QHostAddress(QString::fromStdString(o.host)), quint16(port), problem)) {
            started.set_value(o.host + ":" + std::to_string(port) + ": " + problem.toStdString());
            return;
        }
        face->port = server.Port();
        t.app = &app;
        t.server = &server;
        started.set_value({});
        app.exec();
        t.server = nullptr;
    });
    error = result.get();
    if (!error.empty()) {
        t.thread.join();
        std::error_code ec;
        std::filesystem::remove_all(t.workDir, ec);
        face->thread.reset();
        return nullptr;
    }
    return face;
}

WebFace::~WebFace()
{
    if (!thread) return;
    QMetaObject::invokeMethod(
        thread->app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    thread->thread.join();
    std::error_code ec;
    std::filesystem::remove_all(thread->workDir, ec);
}

void WebFace::Take(const std::string& topic, const std::string& payload)
{
    WebServer* server = thread->server;
    QMetaObject::invokeMethod(
        server, [server, topic, payload] { server->Take(topic, payload); }, Qt::QueuedConnection);
}
