#include "collect/web/Archive.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "collect/web/HapiTime.h"
#include "lines/MqttSettings.h"

namespace {

constexpr std::streamoff kTailBytes = 4096;

// yyyymmdd.txt -> days since 1970.
std::optional<std::int64_t> DayOfFileName(const std::string& name)
{
    if (name.size() != 12 || name.compare(8, 4, ".txt") != 0) return std::nullopt;
    const auto t = ParseHapiTime(name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2));
    if (!t) return std::nullopt;
    return *t / 86400;
}

}  // namespace

Archive::Archive(std::string dir) : root(std::move(dir))
{
    if (!root.empty() && root.back() != '/') root += '/';
}

std::string Archive::DayFile(const std::string& station, std::int64_t day) const
{
    return root + station + "/" + DayName(day) + ".txt";
}

std::vector<std::string> Archive::Stations() const
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root, ec)) {
        const std::string name = e.path().filename().string();
        if (ValidStationId(name) && e.is_directory(ec) && RawDataset(name)) out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<Dataset> Archive::RawDataset(const std::string& station) const
{
    if (!ValidStationId(station)) return std::nullopt;
    Dataset d;
    d.station = station;
    bool any = false;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root + station, ec)) {
        const auto day = DayOfFileName(e.path().filename().string());
        if (!day) continue;
        d.firstDay = any ? std::min(d.firstDay, *day) : *day;
        d.lastDay = any ? std::max(d.lastDay, *day) : *day;
        any = true;
    }
    if (!any) return std::nullopt;
    d.parameters = LineComponents(LastLineOf(DayFile(station, d.lastDay)));
    return d;
}

std::vector<Dataset> Archive::Datasets() const
{
    std::vector<Dataset> out;
    for (const std::string& s : Stations())
        for (const char* kind : {"/raw", "/minute"})
            if (auto d = Find(s + kind)) out.push_back(*d);
    return out;
}

std::optional<Dataset> Archive::Find(const std::string& id) const
{
    const std::size_t slash = id.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string kind = id.substr(slash + 1);
    if (kind != "raw" && kind != "minute") return std::nullopt;
    auto d = RawDataset(id.substr(0, slash));
    if (d && kind == "minute") {
        d->kind = Dataset::Kind::Minute;
        d->parameters = MinuteComponents(d->parameters);
    }
    return d;
}

std::vector<std::string> Archive::LineComponents(const std::string& line)
{
    std::vector<std::string> out;
    // The letters stand in the payload, after "dd.mm.yy hh:mm:ss:".
    for (std::size_t i = std::min<std::size_t>(line.size(), 18); i < line.size(); ++i) {
        const char c = line[i];
        if ((c == 'X' || c == 'Y' || c == 'Z') && std::find(out.begin(), out.end(), std::string(1, c)) == out.end())
            out.push_back(std::string(1, c));
    }
    if (out.empty()) out.push_back("B");
    return out;
}

std::vector<std::string> Archive::MinuteComponents(const std::vector<std::string>& raw)
{
    std::vector<std::string> out;
    for (const std::string& c : raw) {
        if (out.size() == 2) break;
        out.push_back(c == "B" ? "By" : "B" + std::string(1, char(c[0] - 'A' + 'a')));
    }
    return out;
}

std::string LastLineOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - kTailBytes);
    in.seekg(from);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Only a line with its end is complete; the collector may be writing the next one.
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos) return {};
    std::string body = text.substr(0, end);
    if (!body.empty() && body.back() == '\r') body.pop_back();
    const std::size_t start = body.rfind('\n');
    if (start == std::string::npos) return from > 0 ? std::string() : body;
    return body.substr(start + 1);
}
