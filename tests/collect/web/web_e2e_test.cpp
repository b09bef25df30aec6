// mox-collect --http with a real broker and two stations publishing through the station's own
// MQTT publisher: every HAPI answer validates against the published HAPI 3.3 schema, a data
// request returns exactly the archive's lines of its range, and a headless chromium, driven
// over its DevTools protocol, lists both stations and shows a new line.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QWebSocket>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "../../support/Broker.h"
#include "../../support/Process.h"
#include "../../support/TempDir.h"
#include "station/app/MqttPublisher.h"

namespace {

constexpr int kLong = 30000;
const std::string kSchema = MOX_SOURCE_DIR "/tests/data/standards/hapi-3.3-schema.json";

int FreePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

int Connect(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? s : -1;
}

// The status line of an answer on a new connection of its own.
std::string StatusLine(int port, const std::string& path)
{
    const int s = Connect(port);
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::string answer;
    if (s >= 0 && write(s, request.data(), request.size()) == ssize_t(request.size())) {
        char buffer[512];
        while (answer.find("\r\n") == std::string::npos) {
            const ssize_t n = read(s, buffer, sizeof buffer);
            if (n <= 0) break;
            answer.append(buffer, std::size_t(n));
        }
    }
    if (s >= 0) close(s);
    return answer.substr(0, answer.find("\r\n"));
}

struct Reply {
    int http = 0;
    QByteArray body;
};

Reply Get(const QString& url)
{
    static QNetworkAccessManager net;
    QNetworkReply* r = net.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kLong, &loop, &QEventLoop::quit);
    loop.exec();
    Reply out{r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), r->readAll()};
    r->deleteLater();
    return out;
}

// An answer and the part of the HAPI schema it must validate against.
struct Checked {
    std::string part;
    QByteArray json;
};

// Validates with Debian's python3-jsonschema, all answers in one interpreter: its start and
// imports take far longer than the checks. Per answer its problem, "" when it validates.
std::vector<std::string> SchemaProblems(const TempDir& dir, const std::vector<Checked>& answers)
{
    const std::string out = dir / "validate.txt";
    WriteBytes(out, "");
    WriteBytes(dir / "validate.py",
               "import json, sys, jsonschema\n"
               "text = open(sys.argv[1]).read().replace('\"$ref\": \"/', '\"$ref\": \"#/')\n"
               "schema = json.loads(text)\n"
               "for part, answer in zip(sys.argv[2::2], sys.argv[3::2]):\n"
               "    top = dict(schema[part]); top.update({k: v for k, v in schema.items() if k not in top})\n"
               "    try:\n"
               "        jsonschema.Draft7Validator(top).validate(json.load(open(answer)))\n"
               "        problem = ''\n"
               "    except jsonschema.ValidationError as e:\n"
               "        problem = '%s (at /%s)' % (e.message, '/'.join(map(str, e.absolute_path)))\n"
               "    except ValueError as e:\n"
               "        problem = 'no JSON: %s' % e\n"
               "    open(answer + '.problem', 'w').write(problem)\n");
    std::vector<std::string> argv = {"/usr/bin/python3", dir / "validate.py", kSchema};
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const std::string file = dir / ("answer" + std::to_string(i) + ".json");
        WriteBytes(file, answers[i].json.toStdString());
        argv.push_back(answers[i].part);
        argv.push_back(file);
    }
    const int rc = ChildProcess(argv, out).Wait(kLong);
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const std::string verdict = dir / ("answer" + std::to_string(i) + ".json.problem");
        problems.push_back(rc == 0 && std::filesystem::exists(verdict) ? ReadBytes(verdict)
                                                                       : "no verdict: " + ReadBytes(out));
    }
    return problems;
}

// The collector subscribes as it says it is connected; a line published before would come
// only with its station's next resend.
bool Subscribed(const std::string& log)
{
    return WaitFor([&] { return ReadBytes(log).find("verbunden mit") != std::string::npos; }, kLong);
}

MqttSettings StationSettings(int port, const std::string& name)
{
    MqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = port;
    s.Station = name;
    s.Archive = true;
    s.RetryMaxSeconds = 1;
    // The collector may subscribe after the first lines passed the broker: they come again.
    s.ResendSeconds = 1;
    return s;
}

// A station as the collector sees it: its day file, its spool and its publisher. A line is in
// the day file before it is published, as the station's logger has it.
struct Station {
    Station(int port, const std::string& name, const std::string& dir)
        : data(dir + "/"),
          publisher((std::filesystem::create_directories(dir), StationSettings(port, name)), dir + "/spool.dat", dir)
    {
    }
    void Publish(const std::string& line)
    {
        std::ofstream(data + "20261209.txt", std::ios::binary | std::ios::app) << line << "\r\n";
        publisher.PublishLine(line);
    }
    std::string data;
    MqttPublisher publisher;
};

bool Filed(const std::string& file, const std::string& line)
{
    return WaitFor([&] { return ReadBytes(file).find(line) != std::string::npos; }, kLong);
}

std::string Line(int second, int value)
{
    char text[64];
    std::snprintf(text, sizeof text, "09.12.26 12:%02d:%02d: X,  %d, Y, %d", second / 60, second % 60, value, -value);
    return text;
}

// Asks a page in chromium, over the DevTools protocol, for the value of an expression.
class DevTools {
public:
    explicit DevTools(const QString& pageSocket)
    {
        QEventLoop loop;
        QObject::connect(&socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& m) { last = m; });
        socket.open(QUrl(pageSocket));
        QTimer::singleShot(kLong, &loop, &QEventLoop::quit);
        loop.exec();
    }
    bool Open() const { return socket.state() == QAbstractSocket::ConnectedState; }
    // The last answer, for a failure's message.
    std::string Last() const { return last.toStdString(); }
    QString Evaluate(const QString& expression)
    {
        const QJsonObject result = Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
        return result.value("result").toObject().value("value").toString();
    }
    // Sends a command and waits for its answer's result.
    QJsonObject Call(const QString& method, const QJsonObject& params)
    {
        last.clear();
        socket.sendTextMessage(QJsonDocument(QJsonObject{{"id", ++id}, {"method", method}, {"params", params}})
                                   .toJson(QJsonDocument::Compact));
        QElapsedTimer t;
        t.start();
        while (last.isEmpty() && t.elapsed() < kLong) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return QJsonDocument::fromJson(last.toUtf8()).object().value("result").toObject();
    }

private:
    QWebSocket socket;
    QString last;
    int id = 0;
};

// The browser's own folder: it outlives a single test.
std::string BrowserFolder() { return std::string(MOX_BINARY_DIR) + "/test-tmp/WebE2e-chromium/"; }

class WebE2e : public ::testing::Test {
protected:
    // A headless chromium takes seconds to start: it starts once, beside the first test, on an
    // empty page, and a test sends it to its collector's page.
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "web_e2e_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        std::error_code ec;
        std::filesystem::remove_all(BrowserFolder(), ec);
        std::filesystem::create_directories(BrowserFolder());
        debugPort = FreePort();
        browser = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                                     "--disable-quic", "--no-first-run", "--disable-background-networking",
                                     "--disable-component-update", "--disable-sync",
                                     "--user-data-dir=" + BrowserFolder() + "profile",
                                     "--remote-debugging-port=" + std::to_string(debugPort), "about:blank"},
            BrowserFolder() + "chromium.log");
    }
    static void TearDownTestSuite()
    {
        if (browser) browser->Stop();
        browser.reset();
        // The browser's helper processes may still be leaving their files behind.
        std::error_code ec;
        std::filesystem::remove_all(BrowserFolder(), ec);
    }

    static inline std::unique_ptr<ChildProcess> browser;
    static inline int debugPort = 0;
};

}  // namespace

TEST_F(WebE2e, HapiAnswersValidateAndDataIsExactlyTheArchivesRange)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const int port = FreePort();
    const std::string root = dir / "archiv";
    // The stations claim their names while the collector starts.
    Station ost(broker.Port(), "Ost", dir / "ost"), west(broker.Port(), "West", dir / "west");
    ASSERT_TRUE(ost.publisher.Start() && west.publisher.Start());
    ChildProcess collect({MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                          std::to_string(broker.Port()), "--root", root, "--http", std::to_string(port),
                          "--http-clients", "4"},
                         dir / "collect.log");
    ASSERT_TRUE(Subscribed(dir / "collect.log")) << ReadBytes(dir / "collect.log");
    ost.Publish(Line(0, 17000));
    west.Publish(Line(0, 5000));
    ASSERT_TRUE(Filed(root + "/Ost/20261209.txt", Line(0, 17000))) << ReadBytes(dir / "collect.log");
    ASSERT_TRUE(Filed(root + "/West/20261209.txt", Line(0, 5000)));
    for (int s = 1; s < 30; ++s) {
        ost.Publish(Line(s, 17000 + s));
        west.Publish(Line(s, 5000 + s));
    }
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadBytes(root + "/Ost/20261209.txt").size() > 0 &&
                   ReadBytes(root + "/West/20261209.txt").find(Line(29, 5029)) != std::string::npos &&
                   ReadBytes(root + "/Ost/20261209.txt").find(Line(29, 17029)) != std::string::npos;
        },
        kLong))
        << ReadBytes(dir / "collect.log");

    const QString base = "http://127.0.0.1:" + QString::number(port);
    std::vector<QString> paths;
    std::vector<Checked> answers;
    for (const auto& [path, part] :
         std::vector<std::pair<QString, std::string>>{{"/hapi/capabilities", "capabilities"},
                                                      {"/hapi/about", "about"},
                                                      {"/hapi/catalog", "catalog"},
                                                      {"/hapi/info?dataset=Ost/raw", "info"},
                                                      {"/hapi/info?dataset=Ost/minute", "info"},
                                                      {"/hapi/info?dataset=West/raw", "info"},
                                                      {"/hapi/info?dataset=West/minute", "info"},
                                                      {"/hapi/info?dataset=Nord/raw", "error"}}) {
        const Reply r = Get(base + path);
        EXPECT_EQ(r.http, part == "error" ? 404 : 200) << path.toStdString();
        paths.push_back(path);
        answers.push_back({part, r.body});
    }

    const Reply data = Get(base + "/hapi/data?dataset=West/raw&start=2026-12-09T12:00:10Z&stop=2026-12-09T12:00:20Z");
    EXPECT_EQ(data.http, 200);
    std::string expected;
    for (int s = 10; s < 20; ++s)
        expected += "2026-12-09T12:00:" + std::to_string(s) + "Z," + std::to_string(5000 + s) + "," +
                    std::to_string(-5000 - s) + "\n";
    EXPECT_EQ(data.body.toStdString(), expected);

    const Reply unknown =
        Get(base + "/hapi/data?dataset=Ost/raw&parameters=Q&start=2026-12-09T12:00Z&stop=2026-12-09T13:00Z");
    EXPECT_EQ(unknown.http, 400);
    EXPECT_EQ(QJsonDocument::fromJson(unknown.body)["status"]["code"].toInt(), 1400);
    paths.push_back("/hapi/data?parameters=Q");
    answers.push_back({"error", unknown.body});
    const std::vector<std::string> problems = SchemaProblems(dir, answers);
    for (std::size_t i = 0; i < answers.size(); ++i)
        EXPECT_EQ(problems[i], "") << paths[i].toStdString() << "\n" << answers[i].json.toStdString();

    const Reply status = Get(base + "/status.json");
    const QJsonArray stations = QJsonDocument::fromJson(status.body)["stations"].toArray();
    ASSERT_EQ(stations.size(), 2);
    EXPECT_EQ(stations[0]["station"].toString(), "Ost");
    EXPECT_TRUE(stations[1]["online"].toBool());
    EXPECT_EQ(Get(base + "/magnetogram/..%2F..%2Fetc.png").http, 404);

    // Beyond the client limit a connection is turned away, not queued; one that is let in
    // again once others have gone.
    std::vector<int> held;
    for (int i = 0; i < 4; ++i) held.push_back(Connect(port));
    EXPECT_EQ(StatusLine(port, "/status.json"), "HTTP/1.1 503 Service Unavailable");
    for (int s : held) close(s);
    EXPECT_TRUE(WaitFor([&] { return StatusLine(port, "/status.json") == "HTTP/1.1 200 OK"; }, kLong));
    ost.publisher.Stop();
    west.publisher.Stop();
    EXPECT_EQ(collect.Stop(), 0);
}

TEST_F(WebE2e, ChromiumListsBothStationsAndDrawsANewLineWithinASecond)
{
    TempDir dir;
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    const int port = FreePort();
    const std::string root = dir / "archiv";
    // The stations claim their names while the collector starts.
    Station ost(broker.Port(), "Ost", dir / "ost"), west(broker.Port(), "West", dir / "west");
    ASSERT_TRUE(ost.publisher.Start() && west.publisher.Start());
    ChildProcess collect({MOX_BINARY_DIR "/bin/mox-collect", "--host", "127.0.0.1", "--port",
                          std::to_string(broker.Port()), "--root", root, "--http", std::to_string(port)},
                         dir / "collect.log");
    ASSERT_TRUE(Subscribed(dir / "collect.log")) << ReadBytes(dir / "collect.log");
    ost.publisher.PublishStatus(
        "{\"station\":\"Ost\",\"k\":[1,2,null,null,null,null,null,null],\"location\":\"Lindenberg\","
        "\"latitude\":\"52,21\",\"longitude\":\"14,12\",\"locator\":\"JO62\",\"author\":\"Ost\"}");
    ost.Publish(Line(0, 17000));
    west.Publish(Line(0, 5000));
    ASSERT_TRUE(Filed(root + "/Ost/20261209.txt", Line(0, 17000))) << ReadBytes(dir / "collect.log");
    ASSERT_TRUE(Filed(root + "/West/20261209.txt", Line(0, 5000)));
    ASSERT_TRUE(WaitFor(
        [&] {
            return Get("http://127.0.0.1:" + QString::number(port) + "/status.json").body.count("\"station\"") == 2;
        },
        kLong));

    ASSERT_TRUE(browser && browser->Started());
    QString pageSocket;
    ASSERT_TRUE(WaitFor(
        [&] {
            const Reply list = Get("http://127.0.0.1:" + QString::number(debugPort) + "/json/list");
            for (const QJsonValue& v : QJsonDocument::fromJson(list.body).array())
                if (v["type"].toString() == "page") pageSocket = v["webSocketDebuggerUrl"].toString();
            return !pageSocket.isEmpty();
        },
        kLong))
        << ReadBytes(BrowserFolder() + "chromium.log");
    DevTools page(pageSocket);
    ASSERT_TRUE(page.Open());
    const QString url = "http://127.0.0.1:" + QString::number(port) + "/";
    EXPECT_FALSE(page.Call("Page.navigate", {{"url", url}}).value("frameId").toString().isEmpty()) << page.Last();
    const QString names = "Array.from(document.querySelectorAll('.station h2')).map(e => e.textContent).join(',')";
    ASSERT_TRUE(WaitFor([&] { return page.Evaluate(names) == "Ost,West"; }, kLong)) << page.Last();
    EXPECT_TRUE(WaitFor(
        [&] { return page.Evaluate("document.getElementById('station-Ost').textContent").contains("Lindenberg"); },
        kLong));
    EXPECT_TRUE(WaitFor(
        [&] { return page.Evaluate("document.getElementById('verbindung').textContent") == "Live verbunden"; }, kLong));

    QElapsedTimer sent;
    sent.start();
    west.Publish(Line(1, 4242));
    const QString values = "document.getElementById('werte-West').textContent";
    EXPECT_TRUE(WaitFor([&] { return page.Evaluate(values).contains("X 4242"); }, kLong));
    const qint64 delay = sent.elapsed();
    std::printf("Zeile bis zur Seite: %lld ms\n", static_cast<long long>(delay));
    EXPECT_LE(delay, 1000);
    ost.publisher.Stop();
    west.publisher.Stop();
    EXPECT_EQ(collect.Stop(), 0);
}
