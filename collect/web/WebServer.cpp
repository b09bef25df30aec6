#include "collect/web/WebServer.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include "collect/web/HapiTime.h"
#include "lines/MqttSettings.h"
#include "lines/NetProtocol.h"

namespace {

// A data answer is produced while less than this waits in the socket: memory stays bounded
// however slowly the client reads.
constexpr qint64 kSendAhead = 256 * 1024;
constexpr int kPictureWidth = 960, kPictureHeight = 540;
// A page that has not taken this much of its event stream is gone or stuck: it is dropped and
// its browser connects anew.
constexpr qint64 kLiveBacklog = 1024 * 1024;
// A comment on every event stream now and then keeps proxies from closing a quiet one.
constexpr int kKeepAliveMs = 30000;

std::int64_t NowUtc() { return QDateTime::currentSecsSinceEpoch(); }

QByteArray Reason(int http)
{
    switch (http) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 503: return "Service Unavailable";
    default: return "Internal Server Error";
    }
}

void Respond(QTcpSocket* socket, int http, const QByteArray& reason, const QByteArray& type, const QByteArray& body,
             bool head, const QByteArray& extraHeaders = {})
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(http) + " " + reason + "\r\nContent-Type: " + type +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nCache-Control: no-cache\r\n" +
                      extraHeaders + "\r\n";
    if (!head) text += body;
    socket->write(text);
}

void RespondHapi(QTcpSocket* socket, const HapiAnswer& a, bool head)
{
    Respond(socket, a.http, a.http == 200 ? QByteArray("OK") : QByteArray::fromStdString(HapiMessage(a.status)),
            QByteArray::fromStdString(a.contentType), QByteArray::fromStdString(a.body), head);
}

HapiQuery QueryOf(const QHttpServerRequest& request)
{
    HapiQuery q;
    for (const auto& [key, value] : request.query().queryItems(QUrl::FullyDecoded))
        q.push_back({key.toStdString(), value.toStdString()});
    return q;
}

QByteArray Resource(const QString& name)
{
    QFile f(":/web/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sends a data answer chunk by chunk as the socket drains; ends with the socket.
class DataSender : public QObject {
public:
    DataSender(QTcpSocket* socket, std::unique_ptr<HapiDataStream> stream, std::string first, bool more)
        : QObject(socket), socket(socket), stream(std::move(stream)), more(more)
    {
        Chunk(first);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { Pump(); });
        Pump();
    }

private:
    void Chunk(const std::string& text)
    {
        if (text.empty()) return;
        socket->write(QByteArray::number(qulonglong(text.size()), 16) + "\r\n");
        socket->write(text.data(), qint64(text.size()));
        socket->write("\r\n");
    }

    void Pump()
    {
        while (more && socket->bytesToWrite() < kSendAhead) {
            std::string text;
            more = stream->Next(text);
            Chunk(text);
        }
        if (!more) {
            socket->write("0\r\n\r\n");
            disconnect(socket, nullptr, this, nullptr);
            deleteLater();
        }
    }

    QTcpSocket* socket;
    std::unique_ptr<HapiDataStream> stream;
    bool more;
};

StationRecord RecordOf(const QByteArray& json)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    StationRecord r;
    r.location = o.value("location").toString().toStdString();
    r.latitude = o.value("latitude").toString().toStdString();
    r.longitude = o.value("longitude").toString().toStdString();
    r.locator = o.value("locator").toString().toStdString();
    r.author = o.value("author").toString().toStdString();
    r.alarm = o.value("alarm").toBool();
    if (o.value("backlog").isDouble()) r.backlog = o.value("backlog").toInteger();
    for (const QJsonValue& v : o.value("k").toArray()) r.k.push_back(v.isDouble() ? v.toInt() : -1);
    return r;
}

}  // namespace

int LimitedTcpServer::Open()
{
    sockets.erase(std::remove_if(sockets.begin(), sockets.end(),
                                 [](const QPointer<QTcpSocket>& s) {
                                     return !s || s->state() == QAbstractSocket::UnconnectedState;
                                 }),
                  sockets.end());
    return int(sockets.size());
}

void LimitedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(descriptor);
    if (Open() >= limit) {
        Respond(socket, 503, Reason(503), "text/plain; charset=utf-8",
                "Zu viele gleichzeitige Verbindungen; bitte später erneut versuchen.\n", false,
                "Retry-After: 10\r\nConnection: close\r\n");
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        return;
    }
    sockets.push_back(socket);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    addPendingConnection(socket);
}

WebServer::WebServer(const std::string& root, const std::string& workDir, int maxClients)
    : archive(root), days(archive, workDir), hapi(archive, days), tcp(new LimitedTcpServer(maxClients, this))
{
    board.AddFromArchive(archive);
    auto* keepAlive = new QTimer(this);
    connect(keepAlive, &QTimer::timeout, this, [this] {
        for (const QPointer<QTcpSocket>& socket : live)
            if (socket) socket->write(":\n\n");
    });
    keepAlive->start(kKeepAliveMs);
}

WebServer::~WebServer() = default;

bool WebServer::Listen(const QHostAddress& address, quint16 port, QString& error)
{
    if (!tcp->listen(address, port)) {
        error = tcp->errorString();
        return false;
    }
    bind(tcp);
    return true;
}

void WebServer::Live(QTcpSocket* socket, bool head)
{
    // The stream has no length: it ends when either side closes the connection.
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
                  "X-Accel-Buffering: no\r\n\r\n");
    if (head) return;
    board.AddFromArchive(archive);
    socket->write("data: " + QByteArray::fromStdString(board.StatusJson(NowUtc())).trimmed() + "\n\n");
    live.append(socket);
}

void WebServer::Push(const std::string& message)
{
    const QByteArray event = "data: " + QByteArray::fromStdString(message) + "\n\n";
    live.removeIf([](const QPointer<QTcpSocket>& s) { return !s || s->state() != QAbstractSocket::ConnectedState; });
    for (const QPointer<QTcpSocket>& socket : live) {
        if (socket->bytesToWrite() > kLiveBacklog) socket->abort();
        else socket->write(event);
    }
}

void WebServer::Take(const std::string& topic, const std::string& payload)
{
    // mox/<Station>/<kind>
    const std::size_t a = topic.find('/'), b = topic.rfind('/');
    if (topic.compare(0, 4, "mox/") != 0 || a == b) return;
    const std::string station = topic.substr(a + 1, b - a - 1), kind = topic.substr(b + 1);
    if (!ValidStationId(station)) return;
    // A station's line as the collector filed it: its place, then the line itself.
    if (NetLine l; kind == "line" && ParseNetLine(payload, l)) {
        board.Line(station, l.line, NowUtc());
        Push(StationBoard::LineMessage(station, l.line));
        return;
    }
    if (kind == "status") board.Record(station, RecordOf(QByteArray::fromStdString(payload)));
    else if (kind == "online") board.Online(station, payload == "1");
    else return;
    Push("{\"facts\":" + board.FactsJson(station, NowUtc()) + "}");
}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const auto method = request.method();
    const bool head = method == QHttpServerRequest::Method::Head;
    if (method != QHttpServerRequest::Method::Get && !head) {
        Respond(socket, 405, Reason(405), "text/plain; charset=utf-8", "Nur GET und HEAD.\n", false,
                "Allow: GET, HEAD\r\n");
        return true;
    }
    const QString path = request.url().path();
    if (path == "/" || path == "/index.html") {
        Respond(socket, 200, "OK", "text/html; charset=utf-8", Resource("index.html"), head);
    } else if (path == "/app.js") {
        Respond(socket, 200, "OK", "text/javascript; charset=utf-8", Resource("app.js"), head);
    } else if (path == "/style.css") {
        Respond(socket, 200, "OK", "text/css; charset=utf-8", Resource("style.css"), head);
    } else if (path == "/live") {
        Live(socket, head);
    } else if (path == "/status.json") {
        board.AddFromArchive(archive);
        Respond(socket, 200, "OK", "application/json", QByteArray::fromStdString(board.StatusJson(NowUtc())), head);
    } else if (path.startsWith("/magnetogram/") && path.endsWith(".png")) {
        Magnetogram(request, socket, path.mid(13, path.size() - 17), head);
    } else if (path == "/hapi") {
        Respond(socket, 200, "OK", "text/html; charset=utf-8", Resource("hapi.html"), head);
    } else if (path == "/hapi/") {
        // The landing page's links are relative to /hapi; relative here too, for a sub-path
        // behind a proxy.
        Respond(socket, 301, "Moved Permanently", "text/plain; charset=utf-8", "", head, "Location: ../hapi\r\n");
    } else if (path.startsWith("/hapi/")) {
        Hapi(request, socket, path.mid(6), head);
    } else {
        Respond(socket, 404, Reason(404), "text/plain; charset=utf-8", "Nicht gefunden.\n", head);
    }
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    Respond(socket, 404, Reason(404), "text/plain; charset=utf-8", "Nicht gefunden.\n", false);
}

void WebServer::Hapi(const QHttpServerRequest& request, QTcpSocket* socket, const QString& endpoint, bool head)
{
    const HapiQuery query = QueryOf(request);
    if (endpoint != "data") {
        RespondHapi(socket, hapi.Answer(endpoint.toStdString(), query), head);
        return;
    }
    HapiAnswer error;
    std::unique_ptr<HapiDataStream> stream = hapi.Data(query, error);
    if (!stream) {
        RespondHapi(socket, error, head);
        return;
    }
    std::string first;
    const bool more = stream->Next(first);
    const QByteArray status =
        stream->Status() == 1200 ? QByteArray("OK") : QByteArray::fromStdString(HapiMessage(1201));
    socket->write("HTTP/1.1 200 " + status + "\r\nContent-Type: " + QByteArray::fromStdString(stream->ContentType()) +
                  "\r\nTransfer-Encoding: chunked\r\nCache-Control: no-cache\r\n\r\n");
    if (head) return;
    new DataSender(socket, std::move(stream), first, more);
}

void WebServer::Magnetogram(const QHttpServerRequest& request, QTcpSocket* socket, const QString& station, bool head)
{
    const std::string id = station.toStdString();
    std::int64_t day = NowUtc() / 86400;
    const QString dayText = request.query().queryItemValue("day");
    if (!dayText.isEmpty()) {
        const auto t = ParseHapiTime(dayText.toStdString());
        if (!t) {
            Respond(socket, 400, Reason(400), "text/plain; charset=utf-8", "day: kein Datum (yyyy-mm-dd).\n", head);
            return;
        }
        day = *t / 86400;
    }
    const auto found = board.Stations().find(id);
    const StationRecord* record =
        found != board.Stations().end() && found->second.haveRecord ? &found->second.record : nullptr;
    const std::string png =
        ValidStationId(id) ? days.Magnetogram(id, day, record, kPictureWidth, kPictureHeight) : std::string();
    if (png.empty()) {
        Respond(socket, 404, Reason(404), "text/plain; charset=utf-8", "Für diesen Tag liegen keine Zeilen vor.\n",
                head);
        return;
    }
    Respond(socket, 200, "OK", "image/png", QByteArray::fromStdString(png), head);
}
