#pragma once
// The shared settings file: "[Section]" headers and "Key=Value" lines, 8-bit text.
// Sections and keys are fixed texts and may hold umlauts and blanks ("Datum in Legende");
// they are compared without regard to ASCII letter case. Every read looks at the file as it is
// now, so programs sharing the file see each other's writes; every write reaches the file at
// once and replaces it atomically, so a crash or a full disk never leaves half a file.
#include <functional>
#include <string>
#include <vector>

// $MOX_INI if set, else $XDG_CONFIG_HOME/mox/mox.ini, else ~/.config/mox/mox.ini.
std::string MoxIniPath();

class TIniFile {
public:
    explicit TIniFile(std::string path);

    const std::string& FileName() const { return path; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // A value that is not a whole number gives the default.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // "0" is false, any other whole number true; anything else gives the default.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Each returns false when the file could not be written (the old file then stays).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int value);
    bool WriteBool(const std::string& section, const std::string& key, bool value);

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    std::vector<std::string> ReadSection(const std::string& section) const;
    bool DeleteKey(const std::string& section, const std::string& key);
    bool EraseSection(const std::string& section);
    // Writes are immediate; kept for callers that flush at fixed points.
    void UpdateFile() {}

    // Told of every write that failed: the file and the reason, in words. Writes return
    // false too, but most callers store a setting on the side and would drop the result.
    std::function<void(const std::string& problem)> OnWriteFailed;

private:
    std::vector<std::string> Load() const;
    bool Store(const std::vector<std::string>& lines);
    std::string path;
};
