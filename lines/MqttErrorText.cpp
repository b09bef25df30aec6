#include "lines/MqttErrorText.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

std::string MqttErrorText(int rc)
{
    switch (rc) {
    case MOSQ_ERR_SUCCESS: return "kein Fehler";
    case MOSQ_ERR_NOMEM: return "zu wenig Speicher";
    case MOSQ_ERR_PROTOCOL: return "Protokollfehler im Gespräch mit dem Broker";
    case MOSQ_ERR_INVAL: return "ungültige Angaben";
    case MOSQ_ERR_NO_CONN: return "keine Verbindung zum Broker";
    case MOSQ_ERR_CONN_REFUSED: return "der Broker weist die Verbindung ab";
    case MOSQ_ERR_NOT_FOUND: return "nicht gefunden";
    case MOSQ_ERR_CONN_LOST: return "die Verbindung zum Broker ist abgebrochen";
    case MOSQ_ERR_TLS: return "TLS-Fehler (Zertifikat oder Verschlüsselung)";
    case MOSQ_ERR_PAYLOAD_SIZE: return "die Nachricht ist zu groß";
    case MOSQ_ERR_NOT_SUPPORTED: return "nicht unterstützt";
    case MOSQ_ERR_AUTH: return "die Anmeldung wird abgelehnt";
    case MOSQ_ERR_ACL_DENIED: return "keine Berechtigung";
    case MOSQ_ERR_ERRNO: return std::string("Systemfehler (") + std::strerror(errno) + ")";
    case MOSQ_ERR_EAI: return "der Name des Brokers lässt sich nicht auflösen";
    case MOSQ_ERR_PROXY: return "Fehler beim Proxy";
    case MOSQ_ERR_KEEPALIVE: return "der Broker antwortet nicht mehr";
    default: return "Fehler " + std::to_string(rc) + " der MQTT-Bibliothek (" + mosquitto_strerror(rc) + ")";
    }
}

std::string MqttConnackText(int rc)
{
    switch (rc) {
    case 1: return "die Protokollversion wird nicht angenommen";
    case 2: return "die Kennung wird abgelehnt";
    case 3: return "der Broker ist nicht verfügbar";
    case 4: return "Benutzername oder Passwort falsch";
    case 5: return "keine Berechtigung";
    default: return "Antwort " + std::to_string(rc) + " (" + mosquitto_connack_string(rc) + ")";
    }
}
