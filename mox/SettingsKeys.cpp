#include "mox/SettingsKeys.h"

#include <string>

namespace {

std::vector<std::string> Numbered(const std::string& prefix, int from, int to, const std::string& suffix = "")
{
    std::vector<std::string> keys;
    for (int n = from; n <= to; ++n) keys.push_back(prefix + std::to_string(n) + suffix);
    return keys;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::vector<std::string>>& more)
{
    for (const auto& m : more) a.insert(a.end(), m.begin(), m.end());
    return a;
}

}  // namespace

const std::vector<KnownSection>& KnownSettingsSections()
{
    static const std::vector<KnownSection> sections = {
        {"MOX-Header", {"Autor", "Ort", "Länge", "Breite", "Locator", "Remarks", "1-Sensor"}},
        {"COM-Port", {"Port", "Stille-Sekunden", "Uhr-Toleranz", "Erste-Zeile-Sekunden"}},
        {"Verzeichnisse", {"Datenverzeichnis", "Bilder"}},
        {"Batch",
         {"Intervall", "FTP-Timeout", "Breite", "Hoehe", "Standard", "FTP-Intervall", "FTP-Kommando", "Vorschau",
          "Vortag", "WAP", "HTML", "Bildformat"}},
        {"MQTT", {"Host", "Port", "Station", "Benutzer", "Passwort", "CA-Datei"}},
        {"IAGA", {"Code", "Import-Data", "Export-Data"}},
        {"Tools", {"Toolbar", "Log-Minimiert"}},
        {"K-Wert", Numbered("K", 0, 8)},
        {"Diagram", Joined({"Left",
                            "Top",
                            "Width",
                            "Height",
                            "Titel",
                            "Autolegende",
                            "Datum in Legende",
                            "Bemerkung in Legende",
                            "Legende-Stil",
                            "Skalierung",
                            "Auto-Skalierung",
                            "bkColor",
                            "TextColor",
                            "K-Wert",
                            "K-Summe",
                            "K-Farbbalken",
                            "Korrektur",
                            "Filter",
                            "Offset-Filter",
                            "Offset-Filter-Limit",
                            "Alarm",
                            "Alarmschwelle",
                            "Logger-Data",
                            "MOX-Data",
                            "MR-Data"},
                           {Numbered("Label", 1, 4), Numbered("Color", 1, 4), Numbered("Kurve", 1, 4, "-K-Wert")})},
    };
    return sections;
}
