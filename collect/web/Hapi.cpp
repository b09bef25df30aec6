#include "collect/web/Hapi.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "collect/web/HapiTime.h"
#include "mox/LineReader.h"
#include "mox/rtl/Json.h"

namespace {

const char* const kVersion = "3.3";
const char* const kFill = "-1.0E31";
constexpr double kFillValue = -1.0E31;
constexpr std::size_t kPayloadStart = 18;  // after "dd.mm.yy hh:mm:ss:"

std::string StatusMember(int status, const std::string& detail = "")
{
    std::string message = HapiMessage(status);
    if (!detail.empty()) message += ": " + detail;
    return "\"HAPI\":\"" + std::string(kVersion) + "\",\"status\":{\"code\":" + std::to_string(status) +
           ",\"message\":" + JsonString(message) + "}";
}

const std::string* Value(const HapiQuery& q, std::initializer_list<const char*> names)
{
    for (const auto& [key, value] : q)
        for (const char* n : names)
            if (key == n) return &value;
    return nullptr;
}

// A key no endpoint of this kind knows: 1401.
bool UnknownKey(const HapiQuery& q, const std::vector<std::string>& allowed, std::string& key)
{
    for (const auto& kv : q)
        if (std::find(allowed.begin(), allowed.end(), kv.first) == allowed.end()) {
            key = kv.first;
            return true;
        }
    return false;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = text.find(',', at);
        out.push_back(text.substr(at, comma - at));
        if (comma == std::string::npos) return out;
        at = comma + 1;
    }
}

void AppendNumber(std::string& out, double v)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ReadingAt(const char* s, std::size_t n, std::size_t pos, double& value)
{
    while (pos < n && s[pos] == ' ') ++pos;
    std::size_t p = pos;
    if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
    if (p >= n || !IsDigit(s[p])) return false;
    long long v = 0;
    for (; p < n && IsDigit(s[p]) && v < 1000000000000LL; ++p) v = v * 10 + (s[p] - '0');
    value = double(s[pos] == '-' ? -v : v);
    return true;
}

}  // namespace

std::string HapiMessage(int status)
{
    switch (status) {
    case 1200: return "OK";
    case 1201: return "OK - no data for time range";
    case 1400: return "Bad request - user input error";
    case 1401: return "Bad request - unknown API parameter name";
    case 1402: return "Bad request - error in start time";
    case 1403: return "Bad request - error in stop time";
    case 1404: return "Bad request - start time equal to or after stop time";
    case 1405: return "Bad request - time outside valid range";
    case 1406: return "Bad request - unknown dataset id";
    case 1407: return "Bad request - unknown dataset parameter";
    case 1408: return "Bad request - too much time or data requested";
    case 1409: return "Bad request - unsupported output format";
    case 1410: return "Bad request - unsupported include value";
    case 1411: return "Bad request - out of order or duplicate parameters";
    default: return "Internal server error";
    }
}

int HttpStatusOf(int hapi)
{
    if (hapi < 1400) return 200;
    if (hapi == 1406 || hapi == 1407) return 404;
    if (hapi < 1500) return 400;
    return 500;
}

HapiAnswer HapiError(int status, const std::string& detail)
{
    HapiAnswer a;
    a.status = status;
    a.http = HttpStatusOf(status);
    a.body = "{" + StatusMember(status, detail) + "}\n";
    return a;
}

bool LineReading(const char* s, std::size_t n, char component, double& value)
{
    if (n <= kPayloadStart) return false;
    if (component == 'B') return ReadingAt(s, n, kPayloadStart, value);
    for (std::size_t at = kPayloadStart; at < n; ++at) {
        if (s[at] != component) continue;
        std::size_t comma = at + 1;
        while (comma < n && s[comma] != ',') ++comma;
        return comma < n && ReadingAt(s, n, comma + 1, value);
    }
    return false;
}

std::string HapiService::InfoMembers(const Dataset& d, const std::vector<std::size_t>& columns)
{
    const bool raw = d.kind == Dataset::Kind::Raw;
    std::string s = "\"startDate\":\"" + FormatHapiTime(d.firstDay * 86400) + "\",\"stopDate\":\"" +
                    FormatHapiTime((d.lastDay + 1) * 86400) + "\"";
    if (!raw) s += ",\"cadence\":\"PT1M\"";
    s += std::string(",\"maxRequestDuration\":\"P") + std::to_string(raw ? kMaxRawDays : kMaxMinuteDays) + "D\"";
    s += ",\"timeStampLocation\":\"" + std::string(raw ? "center" : "begin") + "\"";
    s += ",\"description\":" + JsonString(raw ? "Zeilen der Station " + d.station + ", wie das Gerät sie sendet"
                                              : "Minutenwerte der Station " + d.station +
                                                    " (Median jeder Minute, wie die Station sie bildet)");
    s += ",\"parameters\":[{\"name\":\"Time\",\"type\":\"isotime\",\"units\":\"UTC\",\"fill\":null,\"length\":20}";
    for (std::size_t c : columns)
        s += ",{\"name\":" + JsonString(d.parameters[c]) + ",\"type\":\"double\",\"units\":\"nT\",\"fill\":\"" + kFill +
             "\",\"description\":" +
             JsonString(raw ? "Messwert der Komponente " + d.parameters[c] + " (Geräteeinheit, ohne Nullpunkt)"
                            : "Minutenwert " + d.parameters[c]) +
             "}";
    return s + "]";
}

bool HapiService::Resolve(const HapiQuery& q, const std::vector<std::string>& allowed, Dataset& d,
                          std::vector<std::size_t>& columns, HapiAnswer& error) const
{
    std::string key;
    if (UnknownKey(q, allowed, key)) {
        error = HapiError(1401, key);
        return false;
    }
    const std::string* id = Value(q, {"dataset", "id"});
    if (!id) {
        error = HapiError(1400, "dataset fehlt");
        return false;
    }
    const auto found = archive.Find(*id);
    if (!found) {
        error = HapiError(1406, *id);
        return false;
    }
    d = *found;
    columns.clear();
    const std::string* names = Value(q, {"parameters"});
    if (!names || names->empty()) {
        for (std::size_t i = 0; i < d.parameters.size(); ++i) columns.push_back(i);
        return true;
    }
    for (const std::string& name : Split(*names)) {
        if (name == "Time") continue;
        const auto at = std::find(d.parameters.begin(), d.parameters.end(), name);
        if (at == d.parameters.end()) {
            error = HapiError(1400, "unbekannter Parameter " + name);
            return false;
        }
        const std::size_t index = std::size_t(at - d.parameters.begin());
        if (!columns.empty() && index <= columns.back()) {
            error = HapiError(1411, *names);
            return false;
        }
        columns.push_back(index);
    }
    return true;
}

HapiAnswer HapiService::Answer(const std::string& endpoint, const HapiQuery& q) const
{
    HapiAnswer a;
    std::string key;
    if (endpoint == "capabilities" || endpoint == "about" || endpoint == "catalog") {
        if (UnknownKey(q, endpoint == "catalog" ? std::vector<std::string>{"depth"} : std::vector<std::string>{}, key))
            return HapiError(1401, key);
    }
    if (endpoint == "capabilities") {
        a.body = "{" + StatusMember(1200) + ",\"outputFormats\":[\"csv\",\"json\"]}\n";
    } else if (endpoint == "about") {
        a.body = "{" + StatusMember(1200) +
                 ",\"id\":\"mox-collect\",\"title\":\"MOX-Stationsnetz\",\"contact\":\"Betreiber dieses Archivs\","
                 "\"description\":\"Magnetometerdaten der Stationen eines MOX-Netzes: Rohzeilen und Minutenwerte\"}\n";
    } else if (endpoint == "catalog") {
        const std::string* depth = Value(q, {"depth"});
        if (depth && *depth != "dataset") return HapiError(1400, "depth=" + *depth);
        a.body = "{" + StatusMember(1200) + ",\"catalog\":[";
        bool first = true;
        for (const Dataset& d : archive.Datasets()) {
            a.body +=
                std::string(first ? "" : ",") + "{\"id\":" + JsonString(d.Id()) + ",\"title\":" +
                JsonString(d.kind == Dataset::Kind::Raw ? d.station + ": Rohzeilen" : d.station + ": Minutenwerte") +
                "}";
            first = false;
        }
        a.body += "]}\n";
    } else if (endpoint == "info") {
        Dataset d;
        std::vector<std::size_t> columns;
        if (!Resolve(q, {"dataset", "id", "parameters"}, d, columns, a)) return a;
        a.body = "{" + StatusMember(1200) + "," + InfoMembers(d, columns) + "}\n";
    } else if (endpoint == "data") {
        return HapiError(1500, "data");
    } else {
        return HapiError(1400, "unbekannter Endpunkt " + endpoint);
    }
    return a;
}

std::unique_ptr<HapiDataStream> HapiService::Data(const HapiQuery& q, HapiAnswer& error) const
{
    Dataset d;
    std::vector<std::size_t> columns;
    if (!Resolve(q, {"dataset", "id", "parameters", "start", "time.min", "stop", "time.max", "format", "include"}, d,
                 columns, error))
        return nullptr;
    const std::string* startText = Value(q, {"start", "time.min"});
    const std::string* stopText = Value(q, {"stop", "time.max"});
    const auto start = startText ? ParseHapiTime(*startText) : std::nullopt;
    const auto stop = stopText ? ParseHapiTime(*stopText) : std::nullopt;
    if (!start) {
        error = HapiError(1402, startText ? *startText : "start fehlt");
        return nullptr;
    }
    if (!stop) {
        error = HapiError(1403, stopText ? *stopText : "stop fehlt");
        return nullptr;
    }
    if (*start >= *stop) {
        error = HapiError(1404);
        return nullptr;
    }
    const int maxDays = d.kind == Dataset::Kind::Raw ? kMaxRawDays : kMaxMinuteDays;
    if (*stop - *start > std::int64_t(maxDays) * 86400) {
        error = HapiError(1408, "höchstens " + std::to_string(maxDays) + " Tage je Anfrage bei " + d.Id());
        return nullptr;
    }
    const std::string* format = Value(q, {"format"});
    if (format && *format != "csv" && *format != "json") {
        error = HapiError(1409, *format);
        return nullptr;
    }
    const std::string* include = Value(q, {"include"});
    if (include && *include != "header") {
        error = HapiError(1410, *include);
        return nullptr;
    }
    return std::make_unique<HapiDataStream>(archive, minutes, d, columns, *start, *stop, format && *format == "json",
                                            include != nullptr);
}

HapiDataStream::HapiDataStream(const Archive& archive, MinuteSource& minutes, Dataset d,
                               std::vector<std::size_t> columns, std::int64_t start, std::int64_t stop, bool json,
                               bool header)
    : archive(archive), minutes(minutes), dataset(std::move(d)), columns(std::move(columns)), start(start), stop(stop),
      json(json), header(header)
{
    day = std::max(dataset.firstDay, (start >= 0 ? start : start - 86399) / 86400);
    lastDay = std::min(dataset.lastDay, (stop - 1 >= 0 ? stop - 1 : stop - 86400) / 86400);
}

void HapiDataStream::Row(std::int64_t time, const double* values, std::string& out)
{
    out += json ? (rows == 0 ? "[\"" : ",\n[\"") : "";
    out += FormatHapiTime(time);
    out += json ? "\"" : "";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out += ',';
        if (std::isfinite(values[c])) AppendNumber(out, values[c]);
        else out += json ? "-1.0E31" : kFill;
    }
    out += json ? "]" : "\n";
    ++rows;
}

void HapiDataStream::RawDay(std::int64_t d, std::string& out)
{
    LineReader in;
    if (!in.Open(archive.DayFile(dataset.station, d))) return;
    const char* s;
    std::size_t n;
    bool cut;
    std::vector<double> values(columns.size());
    while (in.Next(s, n, cut)) {
        const auto t = DeviceLineTime(s, n);
        // A line of another date in this day's file is not this day's reading.
        if (cut || !t || *t / 86400 != d || *t < start || *t >= stop) continue;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (!LineReading(s, n, dataset.parameters[columns[c]][0], values[c])) values[c] = kFillValue;
        Row(*t, values.data(), out);
    }
}

void HapiDataStream::MinuteDay(std::int64_t d, std::string& out)
{
    const auto content = minutes.Day(dataset.station, d);
    if (!content) return;
    std::vector<const DayFileSeries*> series;
    for (std::size_t c : columns) {
        const DayFileSeries* found = nullptr;
        for (const DayFileSeries& s : content->series)
            if (s.name == dataset.parameters[c]) found = &s;
        series.push_back(found);
    }
    std::vector<double> values(columns.size());
    for (int m = 0; m < 1440; ++m) {
        const std::int64_t t = d * 86400 + m * 60;
        if (t < start || t >= stop) continue;
        // A minute without any reading is no row: the day's future minutes are empty too.
        bool any = false;
        for (const DayFileSeries& s : content->series) any = any || std::isfinite(s.minutes[std::size_t(m)]);
        if (!any) continue;
        for (std::size_t c = 0; c < columns.size(); ++c)
            values[c] = series[c] ? series[c]->minutes[std::size_t(m)] : kFillValue;
        Row(t, values.data(), out);
    }
}

bool HapiDataStream::Next(std::string& out)
{
    if (done) return false;
    std::string rowsText;
    do {
        if (day > lastDay) {
            done = true;
            break;
        }
        if (dataset.kind == Dataset::Kind::Raw) RawDay(day, rowsText);
        else MinuteDay(day, rowsText);
        ++day;
    } while (!begun && rows == 0);
    if (!begun) {
        begun = true;
        std::vector<std::size_t> all = columns;
        const std::string info = "{\"HAPI\":\"3.3\",\"status\":{\"code\":" + std::to_string(Status()) +
                                 ",\"message\":" + JsonString(HapiMessage(Status())) + "}," +
                                 HapiService::InfoMembers(dataset, all) + ",\"format\":\"" + (json ? "json" : "csv") +
                                 "\"";
        if (json) out += info + ",\"data\":[\n";
        else if (header) out += "#" + info + "}\n";
    }
    out += rowsText;
    if (done && json) out += "\n]}\n";
    return !done;
}
