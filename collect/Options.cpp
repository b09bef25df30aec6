#include "collect/Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "lines/MqttSettings.h"
#include "mox/rtl/CommandLine.h"

const char* const kCollectUsage =
    "Aufruf: mox-collect --host HOST [--port PORT] --root ORDNER [--id KENNUNG]\n"
    "                    [--user BENUTZER] [--password-file DATEI] [--cafile DATEI]\n"
    "                    [--stations DATEI] [--ack-ms MS] [--request-ms MS] [--retry-max S]\n"
    "                    [--http [ADRESSE:]PORT] [--http-clients ANZAHL]\n"
    "Sammelt die Zeilen aller Stationen eines Netzes vom MQTT-Broker (Thema mox/+/line, QoS 1,\n"
    "dauerhafte Sitzung) und legt sie als Tagesdateien ORDNER/<Station>/yyyymmdd.txt ab, wie\n"
    "eine Station sie schreibt. Jede Zeile trägt ihre Stelle in der Tagesdatei der Station:\n"
    "schon vorhandene Zeilen werden verworfen, fehlende bei der Station nachgefordert, und\n"
    "erst was auf dem Datenträger liegt, wird der Station bestätigt (mox/<Station>/filed).\n"
    "\n"
    "  --host HOST           der Broker\n"
    "  --port PORT           Port des Brokers (Vorgabe 1883)\n"
    "  --root ORDNER         das zentrale Archiv\n"
    "  --id KENNUNG          Client-Kennung der Sitzung beim Broker (Vorgabe mox-collect);\n"
    "                        unter ihr hebt der Broker Zeilen auf, solange mox-collect ruht;\n"
    "                        die Bestätigungen gehen über eine zweite Verbindung KENNUNG-filed\n"
    "  --user BENUTZER       Benutzername beim Broker\n"
    "  --password-file DATEI Passwort aus der ersten Zeile der Datei\n"
    "  --cafile DATEI        TLS mit diesem CA-Zertifikat\n"
    "  --stations DATEI      nur diese Stationen (eine Kennung je Zeile); ohne die Datei jede\n"
    "                        gültige Kennung, höchstens 5000 Stationen\n"
    "  --ack-ms MS           so oft wird gesichert und bestätigt (Vorgabe 500)\n"
    "  --request-ms MS       so oft wird eine Lücke erneut nachgefordert (Vorgabe 5000)\n"
    "  --retry-max S         längste Pause zwischen zwei Verbindungsversuchen (Vorgabe 30)\n"
    "  --http [ADRESSE:]PORT Web-Ansicht, HAPI-Schnittstelle und status.json auf dieser\n"
    "                        Adresse (nur PORT: 127.0.0.1); ohne die Option keine\n"
    "  --http-clients ANZAHL höchstens so viele Verbindungen zugleich (Vorgabe 32)\n"
    "  --help                dieser Text\n"
    "  --version             die Version\n"
    "\n"
    "Ohne Verbindung zum Broker versucht mox-collect es selbst immer wieder. SIGINT oder\n"
    "SIGTERM beenden es sauber.\n";

namespace {

const TCommandLine kCollectCommandLine{"mox-collect",
                                       kCollectUsage,
                                       {{"--host", true},
                                        {"--port", true},
                                        {"--root", true},
                                        {"--id", true},
                                        {"--user", true},
                                        {"--password-file", true},
                                        {"--cafile", true},
                                        {"--stations", true},
                                        {"--ack-ms", true},
                                        {"--request-ms", true},
                                        {"--retry-max", true},
                                        {"--http", true},
                                        {"--http-clients", true}},
                                       0};

// A whole number in [low, high] for `option`, or false with the complaint in `error`.
bool Number(const TCommandLineWords& w, const std::string& option, int low, int high, int& value, std::string& error)
{
    if (!w.Has(option)) return true;
    const std::string text = w.Value(option);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) {
        error = option + ": " + text + " liegt nicht zwischen " + std::to_string(low) + " und " + std::to_string(high);
        return false;
    }
    value = int(v);
    return true;
}

bool CollectOptionsFrom(const TCommandLineWords& w, CollectOptions& o, std::string& error)
{
    o.Host = w.Value("--host");
    o.Root = w.Value("--root");
    o.ClientId = w.Value("--id", o.ClientId);
    o.User = w.Value("--user");
    o.PasswordFile = w.Value("--password-file");
    o.CaFile = w.Value("--cafile");
    o.StationsFile = w.Value("--stations");
    o.Http = w.Value("--http");
    if (!Number(w, "--port", 1, 65535, o.Port, error) || !Number(w, "--ack-ms", 10, 60000, o.AckMs, error) ||
        !Number(w, "--request-ms", 10, 3600000, o.RequestMs, error) ||
        !Number(w, "--retry-max", 1, 3600, o.RetryMaxSeconds, error) ||
        !Number(w, "--http-clients", 1, 10000, o.HttpClients, error))
        return false;
    if (o.Host.empty()) error = "--host fehlt";
    else if (o.Root.empty()) error = "--root fehlt";
    return error.empty();
}

}  // namespace

int ParseCollectOptions(const std::vector<std::string>& args, CollectOptions& o, std::ostream& out, std::ostream& err)
{
    std::vector<const char*> argv{kCollectCommandLine.Program.c_str()};
    for (const std::string& a : args) argv.push_back(a.c_str());
    TCommandLineWords words;
    if (const int rc = ParseCommandLine(kCollectCommandLine, int(argv.size()), argv.data(), words, out, err); rc >= 0)
        return rc;
    std::string error;
    if (CollectOptionsFrom(words, o, error)) return -1;
    return CommandLineError(kCollectCommandLine, error, err);
}

bool ReadPasswordFile(const std::string& file, std::string& password, std::string& error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "Passwortdatei " + file + ": " + std::strerror(errno);
        return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
        error = "Passwortdatei " + file + ": die erste Zeile ist leer";
        return false;
    }
    return true;
}

bool ReadStationsFile(const std::string& file, std::set<std::string>& stations, std::string& error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "Stationsliste " + file + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!ValidStationId(line)) {
            error = "Stationsliste " + file + ", Zeile " + std::to_string(number) + ": \"" + line +
                    "\" ist keine gültige Stationskennung";
            return false;
        }
        stations.insert(line);
    }
    return true;
}
