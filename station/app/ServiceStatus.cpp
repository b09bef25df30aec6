#include "station/app/ServiceStatus.h"

#include <cstdio>

namespace {

std::string Join(const std::string* begin, const std::string* end)
{
    std::string text;
    for (const std::string* p = begin; p != end; ++p) {
        if (p->empty()) continue;
        if (!text.empty()) text += "; ";
        text += *p;
    }
    return text;
}

std::string Lines(std::size_t n) { return std::to_string(n) + (n == 1 ? " Zeile" : " Zeilen"); }

}  // namespace

std::string ServiceStatus::Text() const { return Join(parts.data(), parts.data() + parts.size()); }

std::string ServiceStatus::Alerts() const
{
    return Join(parts.data() + 1, parts.data() + std::size_t(Part::Publisher));
}

std::string UtcTime(time_t t, bool seconds)
{
    tm utc;
    gmtime_r(&t, &utc);
    char buf[16];
    if (seconds) std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", utc.tm_hour, utc.tm_min, utc.tm_sec);
    else std::snprintf(buf, sizeof buf, "%02d:%02d", utc.tm_hour, utc.tm_min);
    return buf;
}

std::string LoggingText(time_t lastLine)
{
    return lastLine ? "Loggen, letzte Zeile " + UtcTime(lastLine) + " UTC" : "Loggen, noch keine Zeile";
}

std::string DisconnectedText(int retrySeconds)
{
    return "Gerät getrennt, neuer Versuch alle " + std::to_string(retrySeconds) + " s";
}

std::string PausedText() { return "Pause"; }

std::string WaitingText(std::size_t waiting, bool mediumFull, std::size_t dropped)
{
    if (waiting == 0 && dropped == 0) return {};
    std::string text = mediumFull ? "Datenträger voll: " : "Datenträger nicht beschreibbar: ";
    text += Lines(waiting) + (waiting == 1 ? " wartet" : " warten");
    if (dropped > 0) text += ", " + Lines(dropped) + " verworfen (Speicher voll)";
    return text;
}

std::string PublisherText(bool connected, std::size_t waiting)
{
    std::string text = connected ? "" : "MQTT getrennt";
    if (waiting > 0) text += (text.empty() ? "MQTT: " : ": ") + Lines(waiting) + (waiting == 1 ? " wartet" : " warten");
    return text;
}
