#include "collect/Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

const char* const kCollectUsage =
    "Aufruf: mox-collect --host HOST [--port PORT] --root ORDNER [--id KENNUNG]\n"
    "                    [--user BENUTZER] [--password-file DATEI] [--cafile DATEI]\n"
    "                    [--http [ADRESSE:]PORT] [--http-clients ANZAHL]\n"
    "Sammelt die Zeilen aller Stationen eines Netzes vom MQTT-Broker (Thema mox/+/raw, QoS 1,\n"
    "dauerhafte Sitzung) und legt sie als Tagesdateien ORDNER/<Station>/yyyymmdd.txt ab, wie\n"
    "eine Station sie schreibt. Doppelt zugestellte Zeilen werden verworfen.\n"
    "\n"
    "  --host HOST           der Broker\n"
    "  --port PORT           Port des Brokers (Vorgabe 1883)\n"
    "  --root ORDNER         das zentrale Archiv\n"
    "  --id KENNUNG          Client-Kennung der Sitzung beim Broker (Vorgabe mox-collect);\n"
    "                        unter ihr hebt der Broker Zeilen auf, solange mox-collect ruht\n"
    "  --user BENUTZER       Benutzername beim Broker\n"
    "  --password-file DATEI Passwort aus der ersten Zeile der Datei\n"
    "  --cafile DATEI        TLS mit diesem CA-Zertifikat\n"
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
        std::string portText, clientsText;
        if (a == "--host") target = &o.Host;
        else if (a == "--port") target = &portText;
        else if (a == "--root") target = &o.Root;
        else if (a == "--id") target = &o.ClientId;
        else if (a == "--user") target = &o.User;
        else if (a == "--password-file") target = &o.PasswordFile;
        else if (a == "--cafile") target = &o.CaFile;
        else if (a == "--http") target = &o.Http;
        else if (a == "--http-clients") target = &clientsText;
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
        if (target == &clientsText) {
            char* end = nullptr;
            const long clients = std::strtol(clientsText.c_str(), &end, 10);
            if (*end != '\0' || clients < 1 || clients > 10000) {
                error = "--http-clients: " + clientsText + " ist keine Anzahl (1 bis 10000)";
                return false;
            }
            o.HttpClients = int(clients);
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
