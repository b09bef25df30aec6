#include "lines/MqttSettings.h"

#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"

MqttSettings ReadMqttSettings(const TIniFile& ini)
{
    MqttSettings s;
    s.Host = ini.ReadString("MQTT", "Host", "");
    s.Port = ReadBoundedInteger(ini, "MQTT", "Port", 1883, {1, 65535});
    s.Station = ini.ReadString("MQTT", "Station", "");
    s.User = ini.ReadString("MQTT", "Benutzer", "");
    s.Password = ini.ReadString("MQTT", "Passwort", "");
    s.CaFile = ini.ReadString("MQTT", "CA-Datei", "");
    s.Archive = ini.ReadBool("MQTT", "Archiv", false);
    s.SpoolLines = std::size_t(ReadBoundedInteger(ini, "MQTT", "Spoolgrenze", 200000, {10, 10000000}));
    s.RetryMaxSeconds = ReadBoundedInteger(ini, "MQTT", "Wiederholung", 10, {1, 3600});
    s.ConnectSeconds = ReadBoundedInteger(ini, "MQTT", "Verbindungsfrist", 15, {1, 600});
    s.ResendSeconds = ReadBoundedInteger(ini, "MQTT", "Nachsenden", 30, {1, 3600});
    return s;
}

bool ValidStationId(const std::string& id)
{
    if (id.empty()) return false;
    for (unsigned char c : id) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

std::string MqttSettingsProblem(const MqttSettings& s)
{
    if (s.Station.empty())
        return "MQTT: \"Station\" fehlt in der Einstellungsdatei; ohne Stationskennung wird nichts "
               "veröffentlicht.";
    if (!ValidStationId(s.Station))
        return "MQTT: Die Stationskennung \"" + s.Station +
               "\" ist ungültig: erlaubt sind nur Buchstaben, Ziffern, \"-\" und \"_\".";
    if (s.Port < 1 || s.Port > 65535)
        return "MQTT: Der Port " + std::to_string(s.Port) + " ist ungültig (1 bis 65535).";
    return {};
}
