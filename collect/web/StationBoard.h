#pragma once
// What the web face knows of each station: from its MQTT topics (raw lines, the retained
// status after every batch, the online flag) and, for a station that has said nothing since
// the collector started, from the archive's newest line. Answers /status.json and makes the
// messages pushed to the page. Qt-free; the caller keeps it on one thread.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class Archive;

// The station's record and index as its status message carries them.
struct StationRecord {
    std::string location, latitude, longitude, locator, author;
    std::vector<int> k;  // the eight blocks of the newest day, -1 for none yet
    bool alarm = false;
    long long backlog = -1;  // lines waiting at the station for the broker; -1 when not said
};

struct StationFacts {
    bool online = false;
    bool haveRecord = false;
    StationRecord record;
    std::string lastLine;
    std::int64_t lineTime = -1;  // the newest line's own time, seconds since 1970
    std::int64_t arrival = -1;   // when it reached the collector; -1 when read from the archive
};

// The activity of a K index, as a key for machines and a German word for the page.
struct Activity {
    const char* key;
    const char* text;
};
Activity ActivityOf(int k);

class StationBoard {
public:
    // `clockTolerance`: seconds a line's time may differ from its arrival.
    explicit StationBoard(int clockTolerance = 120) : tolerance(clockTolerance) {}

    // Stations of the archive not heard of yet, with their newest filed line.
    void AddFromArchive(const Archive& archive);
    // A raw line arrived; false for a line without a valid time (it is still the newest).
    bool Line(const std::string& station, const std::string& line, std::int64_t now);
    void Online(const std::string& station, bool online);
    void Record(const std::string& station, const StationRecord& record);

    const std::map<std::string, StationFacts>& Stations() const { return stations; }
    // The K index of the current block: the newest block the station has a value for; -1 for
    // none.
    static int CurrentK(const StationFacts& f);

    // One station's facts as a JSON object.
    std::string FactsJson(const std::string& station, std::int64_t now) const;
    // All stations: {"time": ..., "stations": [...]}.
    std::string StatusJson(std::int64_t now) const;
    // The message pushed for a new line: {"line":{"station","time","values":{"X":..}}}.
    static std::string LineMessage(const std::string& station, const std::string& line);

private:
    int tolerance;
    std::map<std::string, StationFacts> stations;
};
