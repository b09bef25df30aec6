#include "collect/web/StationBoard.h"

#include <charconv>
#include <cstdlib>

#include "collect/web/Archive.h"
#include "collect/web/Hapi.h"
#include "collect/web/HapiTime.h"
#include "mox/rtl/Json.h"

namespace {

std::string Number(double v)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

}  // namespace

Activity ActivityOf(int k)
{
    if (k < 0) return {"unknown", "unbekannt"};
    if (k <= 2) return {"quiet", "ruhig"};
    if (k == 3) return {"unsettled", "unruhig"};
    if (k == 4) return {"active", "aktiv"};
    if (k <= 6) return {"storm", "Sturm"};
    return {"severe_storm", "starker Sturm"};
}

void StationBoard::AddFromArchive(const Archive& archive)
{
    for (const std::string& name : archive.Stations()) {
        if (stations.count(name)) continue;
        const auto d = archive.Find(name + "/raw");
        StationFacts& f = stations[name];
        if (!d) continue;
        f.lastLine = LastLineOf(archive.DayFile(name, d->lastDay));
        if (const auto t = DeviceLineTime(f.lastLine.data(), f.lastLine.size())) f.lineTime = *t;
    }
}

bool StationBoard::Line(const std::string& station, const std::string& line, std::int64_t now)
{
    StationFacts& f = stations[station];
    f.lastLine = line;
    f.arrival = now;
    const auto t = DeviceLineTime(line.data(), line.size());
    f.lineTime = t ? *t : -1;
    return bool(t);
}

void StationBoard::Online(const std::string& station, bool online) { stations[station].online = online; }

void StationBoard::Record(const std::string& station, const StationRecord& record)
{
    StationFacts& f = stations[station];
    f.record = record;
    f.haveRecord = true;
}

int StationBoard::CurrentK(const StationFacts& f)
{
    for (auto it = f.record.k.rbegin(); it != f.record.k.rend(); ++it)
        if (*it >= 0) return *it;
    return -1;
}

std::string StationBoard::FactsJson(const std::string& station, std::int64_t now) const
{
    const auto found = stations.find(station);
    if (found == stations.end()) return "null";
    const StationFacts& f = found->second;
    const int k = CurrentK(f);
    const Activity a = ActivityOf(k);
    std::string s = "{\"station\":" + JsonString(station) + ",\"online\":" + (f.online ? "true" : "false");
    s += ",\"last_line_time\":" + (f.lineTime < 0 ? std::string("null") : "\"" + FormatHapiTime(f.lineTime) + "\"");
    s += ",\"last_line_age_s\":" + (f.lineTime < 0 ? std::string("null") : std::to_string(now - f.lineTime));
    s += ",\"backlog\":" +
         (f.haveRecord && f.record.backlog >= 0 ? std::to_string(f.record.backlog) : std::string("null"));
    // How far the station's newest line trailed its arrival: a station sending what it held
    // back, or one whose clock is off. Unknown for a line read from the archive.
    const bool live = f.arrival >= 0 && f.lineTime >= 0;
    const std::int64_t lag = live ? f.arrival - f.lineTime : 0;
    s += ",\"lag_s\":" + (live ? std::to_string(lag) : std::string("null"));
    s += ",\"clock_ok\":" + (live ? std::string(std::llabs(lag) <= tolerance ? "true" : "false") : std::string("null"));
    s += ",\"k\":" + (k < 0 ? std::string("null") : std::to_string(k));
    s += ",\"activity\":\"" + std::string(a.key) + "\",\"activity_text\":" + JsonString(a.text);
    s += ",\"alarm\":" + std::string(f.record.alarm ? "true" : "false");
    s += ",\"record\":";
    if (f.haveRecord)
        s += "{\"location\":" + JsonString(f.record.location) + ",\"latitude\":" + JsonString(f.record.latitude) +
             ",\"longitude\":" + JsonString(f.record.longitude) + ",\"locator\":" + JsonString(f.record.locator) +
             ",\"author\":" + JsonString(f.record.author) + "}";
    else s += "null";
    return s + "}";
}

std::string StationBoard::StatusJson(std::int64_t now) const
{
    std::string s = "{\"time\":\"" + FormatHapiTime(now) + "\",\"stations\":[";
    bool first = true;
    for (const auto& entry : stations) {
        s += (first ? "" : ",") + FactsJson(entry.first, now);
        first = false;
    }
    return s + "]}\n";
}

std::string StationBoard::LineMessage(const std::string& station, const std::string& line)
{
    const auto t = DeviceLineTime(line.data(), line.size());
    std::string s = "{\"line\":{\"station\":" + JsonString(station) +
                    ",\"time\":" + (t ? "\"" + FormatHapiTime(*t) + "\"" : std::string("null")) + ",\"values\":{";
    bool first = true;
    for (const std::string& c : Archive::LineComponents(line)) {
        double v = 0;
        if (!LineReading(line.data(), line.size(), c[0], v)) continue;
        s += (first ? "\"" : ",\"") + c + "\":" + Number(v);
        first = false;
    }
    return s + "}}}";
}
