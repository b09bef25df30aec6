#pragma once
// The HTTP side of the web face on Qt HttpServer: routes, streaming of data answers in chunks
// as the client takes them, the live push as Server-Sent Events, the client limit. What it
// says is made by the Qt-free units (Hapi, StationBoard, DayConversion).
#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <memory>
#include <string>
#include <vector>

#include "collect/web/Archive.h"
#include "collect/web/DayConversion.h"
#include "collect/web/Hapi.h"
#include "collect/web/StationBoard.h"

// Counts the open connections and turns away those beyond the limit with 503.
class LimitedTcpServer : public QTcpServer {
public:
    explicit LimitedTcpServer(int maxClients, QObject* parent = nullptr) : QTcpServer(parent), limit(maxClients) {}
    int Open();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    int limit;
    std::vector<QPointer<QTcpSocket>> sockets;
};

class WebServer : public QAbstractHttpServer {
public:
    WebServer(const std::string& root, const std::string& workDir, int maxClients);
    ~WebServer() override;
    // False with `error` when the address cannot be bound.
    bool Listen(const QHostAddress& address, quint16 port, QString& error);
    quint16 Port() const { return tcp->serverPort(); }

    void Take(const std::string& topic, const std::string& payload);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    void Hapi(const QHttpServerRequest& request, QTcpSocket* socket, const QString& endpoint, bool head);
    void Magnetogram(const QHttpServerRequest& request, QTcpSocket* socket, const QString& station, bool head);
    void Live(QTcpSocket* socket, bool head);
    void Push(const std::string& message);

    Archive archive;
    DayConversion days;
    HapiService hapi;
    StationBoard board;
    LimitedTcpServer* tcp;
    QList<QPointer<QTcpSocket>> live;  // the pages' event streams
};
