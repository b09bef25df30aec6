// mox-devsim: a simulated magnetometer on a pseudo-terminal.
#include "mox/rtl/CommandLine.h"
#include "tools/devsim/Device.h"
#include "tools/devsim/FieldModel.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

const char* const Usage = R"(Aufruf: mox-devsim [Optionen]
Ein simuliertes Magnetometer an einem Pseudo-Terminal. Es gibt den Pfad des Terminals aus,
sendet Datenzeilen in seinem Intervall, solange ein Programm das Terminal offen hat, und
beantwortet das Parameterprotokoll (Uhrzeit und Datum setzen, den 51-Byte-Parametersatz
lesen und schreiben).

  --link PFAD         PFAD als symbolischen Link auf das Terminal anlegen (beim Ende entfernt)
  --interval SEKUNDEN Sekunden Gerätezeit zwischen zwei Datenzeilen, 1..255 (setzt das
                      Datenintervall im Parametersatz)
  --speed FAKTOR      die Uhr des Geräts läuft FAKTOR-mal so schnell wie die Zeit (1)
  --start JJJJ-MM-TTTHH:MM:SS
                      Uhr des Geräts beim Start (ohne Angabe: die UTC-Zeit des Rechners)
  --sensors 1|2       ein oder zwei Sensoren (setzt das Zweitsensor-Flag im Parametersatz)
  --no-letters        keine Achsbuchstaben vor den Messwerten
  --params DATEI      der 51-Byte-Parametersatz des Geräts: beim Start gelesen, wenn die
                      Datei existiert, nach jedem Schreiben des Satzes geschrieben
  --storm             zehn Minuten Gerätezeit nach dem Start beginnt ein Magnetsturm
  --seed N            Startwert des Feldmodells (1)
  --no-data           keine Datenzeilen senden, nur antworten
  --fault NAME        Fehlverhalten, auch mehrfach:
                        silent          gar nichts senden
                        one-copy        beim Lesen nur eine Kopie des Satzes senden
                        bad-copy        die zwei Kopien beim Lesen weichen in einem Byte ab
                        bad-echo        das Echo beim Schreiben weicht in einem Byte ab
                        garbage         kaputte und fremde Zeilen zwischen den Datenzeilen
                        hangup-after=N  nach N gesendeten Bytes verschwindet das Terminal;
                                        ein neues (gleicher --link) erscheint eine Sekunde
                                        später (--hangup-pause)
  --hangup-pause SEKUNDEN
                      so lange bleibt das Terminal nach hangup-after=N weg (1)
  --open-quiet SEKUNDEN
                      so lange sendet das Gerät nach dem Öffnen des Terminals keine
                      Datenzeilen (0,3)
  --record DATEI      jedes an das Terminal geschriebene Byte an DATEI anhängen, damit ein
                      Test sieht, was ein Programm an der Leitung gesendet hat
  --verbose           Befehle und Verbindungen auf stderr protokollieren
  --help              dieser Text
  --version           die Version

Die Datenzeile folgt dem Ausgabemodus (Parameterbyte 8), dem Datum-und-Uhrzeit-Flag (Byte 9),
dem Zweitsensor-Flag (Byte 6) und den Sensorachsen (Bytes 43, 44) des Geräts:
  "dd.mm.yy hh:mm:ss:", dann je Sensor [" A,"] und die Messwerte mit je zwei Leerzeichen
  davor: absolut, relativ, absolut und relativ, oder beides gefolgt von "  K" und dem K-Index.
Das Gerät schweigt, während es einen Befehl annimmt, und nach dem Öffnen des Terminals (--open-quiet);
solange kein Programm das Terminal offen hat, verwirft es die Zeilen.
)";

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) { stopRequested = 1; }

double RealNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const std::string& text)
{
    std::cerr << "mox-devsim: " << text << "\n";
    std::exit(2);
}

struct TOptions {
    std::string link, paramsFile, recordFile;
    int interval = 0, sensors = 0;
    double speed = 1, hangupPause = 1, openQuiet = 0.3;
    bool haveStart = false, letters = true, storm = false, noData = false, verbose = false;
    double start = 0;
    unsigned long long seed = 1;
    TDeviceFaults faults;
};

const TCommandLine kCommandLine{"mox-devsim",
                                Usage,
                                {{"--link", true},
                                 {"--interval", true},
                                 {"--speed", true},
                                 {"--start", true},
                                 {"--sensors", true},
                                 {"--no-letters"},
                                 {"--params", true},
                                 {"--storm"},
                                 {"--seed", true},
                                 {"--no-data"},
                                 {"--record", true},
                                 {"--verbose"},
                                 {"--fault", true},
                                 {"--hangup-pause", true},
                                 {"--open-quiet", true}},
                                0};

double Number(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') Fail("keine Zahl für " + option + ": " + text);
    return v;
}

// The options as the simulator takes them; a value it cannot use ends it with exit code 2.
TOptions ReadOptions(const TCommandLineWords& w)
{
    TOptions o;
    o.link = w.Value("--link");
    o.paramsFile = w.Value("--params");
    o.recordFile = w.Value("--record");
    o.letters = !w.Has("--no-letters");
    o.storm = w.Has("--storm");
    o.noData = w.Has("--no-data");
    o.verbose = w.Has("--verbose");
    if (w.Has("--interval")) {
        const double v = Number("--interval", w.Value("--interval"));
        if (v < 1 || v > 255 || v != std::floor(v)) Fail("--interval nimmt ganze Sekunden 1..255");
        o.interval = static_cast<int>(v);
    }
    if (w.Has("--speed")) {
        o.speed = Number("--speed", w.Value("--speed"));
        if (!(o.speed > 0)) Fail("--speed muss größer als 0 sein");
    }
    if (w.Has("--start")) {
        o.haveStart = ParseDeviceTime(w.Value("--start"), o.start);
        if (!o.haveStart) Fail("--start nimmt JJJJ-MM-TTTHH:MM:SS");
    }
    if (w.Has("--sensors")) {
        const std::string v = w.Value("--sensors");
        if (v != "1" && v != "2") Fail("--sensors nimmt 1 oder 2");
        o.sensors = v[0] - '0';
    }
    if (w.Has("--hangup-pause")) {
        o.hangupPause = Number("--hangup-pause", w.Value("--hangup-pause"));
        if (!(o.hangupPause >= 0)) Fail("--hangup-pause nimmt Sekunden ab 0");
    }
    if (w.Has("--open-quiet")) {
        o.openQuiet = Number("--open-quiet", w.Value("--open-quiet"));
        if (!(o.openQuiet >= 0)) Fail("--open-quiet nimmt Sekunden ab 0");
    }
    if (w.Has("--seed")) o.seed = static_cast<unsigned long long>(Number("--seed", w.Value("--seed")));
    for (const std::string& f : w.Values("--fault")) {
        if (f == "silent") o.faults.silent = true;
        else if (f == "one-copy") o.faults.oneCopy = true;
        else if (f == "bad-copy") o.faults.badCopy = true;
        else if (f == "bad-echo") o.faults.badEcho = true;
        else if (f == "garbage") o.faults.garbage = true;
        else if (f.rfind("hangup-after=", 0) == 0) {
            const double n = Number("--fault", f.substr(13));
            if (n < 0 || n != std::floor(n)) Fail("hangup-after nimmt eine Anzahl Bytes");
            o.faults.hangupAfter = static_cast<long>(n);
        } else Fail("unbekannter Fehler für --fault: " + f);
    }
    return o;
}

moxparam::TParamSet LoadParams(const TOptions& o)
{
    moxparam::TParamSet p = FactoryParams();
    if (!o.paramsFile.empty()) {
        std::ifstream in(o.paramsFile, std::ios::binary);
        if (in) {
            in.read(reinterpret_cast<char*>(p.data()), p.size());
            if (in.gcount() != moxparam::Size) Fail(o.paramsFile + ": kein 51-Byte-Parametersatz");
        }
    }
    if (o.interval > 0) moxparam::Put8(p, moxparam::data_interval, o.interval);
    if (o.sensors > 0) moxparam::Put8(p, moxparam::dual_sensor, o.sensors == 2 ? 1 : 0);
    return p;
}

// The master side of a raw pseudo-terminal, with the optional symlink to its slave.
class TTerminal {
public:
    explicit TTerminal(std::string link) : link_(std::move(link)) {}
    ~TTerminal() { Close(); }

    void Open()
    {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0)
            Fail(std::string("kein Pseudo-Terminal zu bekommen (") + std::strerror(errno) + ")");
        path_ = ptsname(fd_);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);  // no CR/LF translation, no echo
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd_, TCSANOW, &t);
        // Open and close the slave once: from then on the master reports a hang-up whenever no
        // program has the terminal open, so lines are not queued for a reader to come.
        const int slave = open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (slave >= 0) close(slave);
        if (!link_.empty()) {
            unlink(link_.c_str());
            if (symlink(path_.c_str(), link_.c_str()) != 0)
                Fail("der Link " + link_ + " lässt sich nicht anlegen (" + std::strerror(errno) + ")");
        }
        std::cout << "mox-devsim: " << path_ << std::endl;
    }

    void Close()
    {
        if (fd_ < 0) return;
        if (!link_.empty()) unlink(link_.c_str());
        close(fd_);
        fd_ = -1;
    }

    int Fd() const { return fd_; }

    bool ReaderPresent() const
    {
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 0);
        return (p.revents & POLLHUP) == 0;
    }

    // Writes all of bytes unless no one is there or the reader stops taking them for a second;
    // returns how many were written.
    std::size_t Send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size() && ReaderPresent()) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return done;
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) return done;
        }
        return done;
    }

    std::string ReadAvailable()
    {
        std::string bytes;
        char buffer[512];
        for (;;) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    std::string link_;
    std::string path_;
    int fd_ = -1;
};

}  // namespace

int main(int argc, char** argv)
{
    TCommandLineWords words;
    if (const int code = ParseCommandLine(kCommandLine, argc, argv, words); code >= 0) return code;
    const TOptions options = ReadOptions(words);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    const double realStart = RealNow();
    const double deviceStart = options.haveStart ? options.start : static_cast<double>(std::time(nullptr));
    const TFieldModel model(options.seed, options.storm, deviceStart + 600);
    TDevice device(model, LoadParams(options), options.letters, options.faults,
                   TDeviceClock(deviceStart, realStart, options.speed));
    auto log = [&](const std::string& text) {
        if (options.verbose) std::cerr << "mox-devsim: " << text << std::endl;
    };
    device.OnLog = log;
    device.OnParamsWritten = [&](const moxparam::TParamSet& p) {
        if (options.paramsFile.empty()) return;
        std::ofstream out(options.paramsFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(p.data()), p.size());
        if (!out) std::cerr << "mox-devsim: " << options.paramsFile << " lässt sich nicht schreiben\n";
    };

    TTerminal terminal(options.link);
    terminal.Open();

    auto nextAfter = [&](double t) { return (std::floor(t / device.Interval()) + 1) * device.Interval(); };
    double nextLine = nextAfter(device.Now(realStart));
    int interval = device.Interval();
    device.OnClockSet = [&] { nextLine = nextAfter(device.Now(RealNow())); };

    std::ofstream record;
    if (!options.recordFile.empty()) {
        record.open(options.recordFile, std::ios::binary | std::ios::app);
        if (!record) Fail(options.recordFile + " lässt sich nicht schreiben");
    }
    auto write = [&](const std::string& bytes) {
        const std::size_t n = terminal.Send(bytes);
        if (record.is_open()) {
            record.write(bytes.data(), static_cast<std::streamsize>(n));
            record.flush();
        }
    };

    long sent = 0;
    long hangupAfter = options.faults.hangupAfter;
    bool connected = false;
    double quietUntil = 0;

    // Sends bytes to the reader, counting them for the hang-up fault.
    auto send = [&](std::string bytes) {
        if (options.faults.silent || bytes.empty() || !terminal.ReaderPresent()) return;
        if (hangupAfter >= 0 && sent + static_cast<long>(bytes.size()) >= hangupAfter) {
            write(bytes.substr(0, static_cast<std::size_t>(hangupAfter - sent)));
            log("lege auf");
            hangupAfter = -1;
            // Bytes on the wire still arrive; closing at once would let the kernel drop them.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            terminal.Close();
            const double back = RealNow() + options.hangupPause;
            while (!stopRequested && RealNow() < back) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!stopRequested) terminal.Open();
            connected = false;
            return;
        }
        sent += static_cast<long>(bytes.size());
        write(bytes);
    };

    while (!stopRequested) {
        double real = RealNow();
        const bool present = terminal.ReaderPresent();
        if (present && !connected) {
            log("Terminal geöffnet");
            quietUntil = real + options.openQuiet;  // the opener clears its buffers and speaks first
        } else if (!present && connected) {
            log("Terminal geschlossen");
        }
        connected = present;

        const double untilLine = (nextLine - device.Now(real)) / (options.speed > 0 ? options.speed : 1);
        const int timeout = static_cast<int>(std::clamp(untilLine * 1000, 1.0, 50.0));
        pollfd p{terminal.Fd(), POLLIN, 0};
        const int ready = poll(&p, 1, timeout);
        real = RealNow();
        if (ready > 0 && (p.revents & POLLIN)) {
            const std::string input = terminal.ReadAvailable();
            if (!input.empty()) send(device.Receive(input, real));
        } else if (ready > 0 && (p.revents & POLLHUP)) {
            // Nobody there: poll would return at once, so wait out the timeout instead.
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
            real = RealNow();
        }

        if (device.Interval() != interval) {
            interval = device.Interval();
            nextLine = nextAfter(device.Now(real));
        }
        const double now = device.Now(real);
        if (now < nextLine) continue;
        const bool quiet = options.noData || device.Busy(real) || real < quietUntil || !connected;
        int lines = 0;
        while (nextLine <= now && lines < 200) {
            if (!quiet) send(device.LineBytes(nextLine));
            nextLine += interval;
            ++lines;
        }
        if (nextLine <= now) nextLine = nextAfter(now);  // too far behind: skip what cannot be sent any more
    }
    terminal.Close();
    return 0;
}
