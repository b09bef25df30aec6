#pragma once
// The settings file is edited by hand: a mistyped key ("Laenge=" for "Länge=") or a section
// written twice would be ignored without a word, and the station would go on with the
// default. This check reads the file as it stands and tells such lines, once per process,
// through the same channel as the settings' range notes (stderr, and a window that asks).
#include <string>
#include <vector>

class TIniFile;

// A section the programs read, with every key any of them reads or writes in it.
struct KnownSection {
    std::string name;
    std::vector<std::string> keys;
};

struct SettingsRemark {
    std::string where;  // what the remark is about, so that it is told once
    std::string text;   // German, naming the file, the section and the line
};

// The remarks on the lines of a settings file named `file`: keys of a known section that no
// program reads, with the nearest known key where one is close; sections that appear more
// than once (only the first is read). Unknown sections are left alone: they may belong to
// a later version.
std::vector<SettingsRemark> CheckSettingsLines(const std::string& file, const std::vector<std::string>& lines,
                                               const std::vector<KnownSection>& known);

// Reads the file of `ini` and tells each remark once.
void CheckSettingsFile(const TIniFile& ini, const std::vector<KnownSection>& known);

// The known key nearest to `key` when it is close enough to be a slip (umlauts written as
// "ae", "oe", "ue", letter case, one or two letters off), else empty.
std::string NearestKey(const std::string& key, const std::vector<std::string>& keys);
