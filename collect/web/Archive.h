#pragma once
// The collector's archive as the web face reads it: ROOT/<Station>/yyyymmdd.txt, one device
// line per line. Only folders named as a station id are looked at, so no request reaches a
// path outside the archive.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Dataset {
    enum class Kind { Raw, Minute };
    std::string station;
    Kind kind = Kind::Raw;
    // Raw: the axis letters of the station's newest line ("X", "Y", "Z"), or "B" for a device
    // without letters. Minute: the components of the station's day file ("Bx", "By"...).
    std::vector<std::string> parameters;
    std::int64_t firstDay = 0, lastDay = 0;  // days since 1970 with a day file

    std::string Id() const { return station + (kind == Kind::Raw ? "/raw" : "/minute"); }
};

class Archive {
public:
    explicit Archive(std::string root);

    const std::string& Root() const { return root; }
    // Stations with at least one day file, sorted by name.
    std::vector<std::string> Stations() const;
    // Both datasets of every station.
    std::vector<Dataset> Datasets() const;
    // "<station>/raw" or "<station>/minute"; nothing for anything else.
    std::optional<Dataset> Find(const std::string& id) const;

    std::string DayFile(const std::string& station, std::int64_t day) const;

    // The components of a device line: its axis letters in order of appearance, each once; "B"
    // for a line without any.
    static std::vector<std::string> LineComponents(const std::string& line);
    // The day file's components of a raw log whose lines carry these letters: the conversion
    // takes the first two sensors, a device without letters counts as By.
    static std::vector<std::string> MinuteComponents(const std::vector<std::string>& rawComponents);

private:
    std::optional<Dataset> RawDataset(const std::string& station) const;

    std::string root;
};

// The newest complete line of a file (read from its end); empty when there is none.
std::string LastLineOf(const std::string& file);
