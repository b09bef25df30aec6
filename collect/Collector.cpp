#include "collect/Collector.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "lines/LineDay.h"
#include "lines/MqttSettings.h"

namespace {

// Read back from a day file's end at a restart: more than the recent window holds.
constexpr std::streamoff kTailBytes = 128 * 1024;
constexpr std::size_t kMaxLine = 1024;
// mox-collect syncs the archive as a whole, not file by file: a thousand stations would
// otherwise cost a hundred syncs a second.
constexpr int kNoSyncPerFile = std::numeric_limits<int>::max();

}  // namespace

Collector::Collector(std::string dir, std::size_t maxOpenFiles) : root(std::move(dir)), maxOpen(maxOpenFiles)
{
    if (!root.empty() && root.back() != '/') root += '/';
}

std::string Collector::StationOfTopic(const std::string& topic)
{
    const std::string prefix = "mox/", suffix = "/raw";
    if (topic.size() <= prefix.size() + suffix.size() || topic.rfind(prefix, 0) != 0 ||
        topic.compare(topic.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    const std::string station = topic.substr(prefix.size(), topic.size() - prefix.size() - suffix.size());
    return ValidStationId(station) ? station : std::string();
}

Collector::Archive& Collector::ArchiveOf(const std::string& station)
{
    Archive& a = archives[station];
    if (!a.logger) a.logger = std::make_unique<DayLogger>(root + station + "/", kNoSyncPerFile);
    a.lastUse = ++clock;
    return a;
}

void Collector::ReadTail(Archive& archive, const std::string& dayFile)
{
    std::ifstream in(dayFile, std::ios::binary | std::ios::ate);
    if (!in) return;
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - kTailBytes);
    in.seekg(from);
    std::string line;
    // A read that starts inside a line skips that line's rest.
    if (from > 0) std::getline(in, line);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        archive.recent.Add(line);
    }
}

void Collector::LimitOpenFiles()
{
    if (openFiles <= maxOpen) return;
    std::vector<std::pair<std::uint64_t, Archive*>> open;
    for (auto& [station, a] : archives)
        if (!a.logger->LogFileName().empty()) open.push_back({a.lastUse, &a});
    if (open.size() <= maxOpen) return;
    std::sort(open.begin(), open.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (std::size_t i = 0; i < open.size() - maxOpen; ++i) open[i].second->logger->Close();
    openFiles = maxOpen;
}

Collector::Result Collector::Take(const std::string& topic, const std::string& line)
{
    message.clear();
    const std::string station = StationOfTopic(topic);
    if (station.empty()) {
        message = topic + ": kein Rohdaten-Thema einer Station (mox/<Station>/raw)";
        return Result::Refused;
    }
    if (line.size() > kMaxLine || line.find_first_of("\r\n") != std::string::npos) {
        message = topic + ": keine einzelne Gerätezeile";
        return Result::Refused;
    }
    std::string day;
    if (DayOfLine(line, day) != LineDay::Found) {
        message = topic + ": Zeile ohne gültiges Datum: " + line;
        return Result::Refused;
    }
    Archive& a = ArchiveOf(station);
    const std::string dir = root + station + "/";
    if (a.daysRead.insert(day).second) ReadTail(a, dir + day + ".txt");
    if (a.recent.Contains(line)) {
        ++duplicates;
        return Result::Duplicate;
    }
    if (!a.folderMade) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        a.folderMade = true;
    }
    const bool wasOpen = !a.logger->LogFileName().empty();
    const DayLogger::Outcome outcome = a.logger->HandleLine(line);
    if (!wasOpen && !a.logger->LogFileName().empty()) ++openFiles;
    if (outcome != DayLogger::Outcome::Logged) {
        a.folderMade = false;  // it may have been removed: made again with the next line
        message = a.logger->Error().empty() ? dir + day + ".txt: nicht geschrieben" : a.logger->Error();
        return Result::Failed;
    }
    a.recent.Add(line);
    ++filed;
    LimitOpenFiles();
    return Result::Filed;
}
