#include "collect/Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "mox/rtl/BoundedSetting.h"
#include "lines/MqttSettings.h"

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
    "                        unter ihr hebt der Broker Zeilen auf, solange mox-collect ruht\n"
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

bool ParseCollectOptions(const std::vector<std::string>& args, CollectOptions& o, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.Help = true;
            return true;
        }
        if (a == "--version") {
            o.Version = true;
            return true;
        }
        std::string* target = nullptr;
        std::string portText;
        int* number = nullptr;
        IntRange range{1, 65535};
        if (a == "--ack-ms") number = &o.AckMs, range = {10, 60000};
        else if (a == "--request-ms") number = &o.RequestMs, range = {10, 3600000};
        else if (a == "--retry-max") number = &o.RetryMaxSeconds, range = {1, 3600};
        else if (a == "--http-clients") number = &o.HttpClients, range = {1, 10000};
        if (number) {
            if (i + 1 >= args.size()) {
                error = a + " braucht einen Wert";
                return false;
            }
            const std::string& text = args[++i];
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || value < range.Min || value > range.Max) {
                error = a + ": " + text + " liegt nicht zwischen " + std::to_string(range.Min) + " und " +
                        std::to_string(range.Max);
                return false;
            }
            *number = int(value);
            continue;
        }
        if (a == "--host") target = &o.Host;
        else if (a == "--port") target = &portText;
        else if (a == "--root") target = &o.Root;
        else if (a == "--id") target = &o.ClientId;
        else if (a == "--user") target = &o.User;
        else if (a == "--password-file") target = &o.PasswordFile;
        else if (a == "--cafile") target = &o.CaFile;
        else if (a == "--http") target = &o.Http;
        else if (a == "--stations") target = &o.StationsFile;
        if (!target) {
            error = "unbekannte Option: " + a;
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = a + " braucht einen Wert";
            return false;
        }
        *target = args[++i];
        if (target == &portText) {
            char* end = nullptr;
            const long port = std::strtol(portText.c_str(), &end, 10);
            if (*end != '\0' || port < 1 || port > 65535) {
                error = "--port: " + portText + " ist kein Port (1 bis 65535)";
                return false;
            }
            o.Port = int(port);
        }
    }
    if (o.Host.empty()) error = "--host fehlt";
    else if (o.Root.empty()) error = "--root fehlt";
    return error.empty();
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
