#pragma once
// A station's record, the "MOX-Header" section of its settings (author, location,
// coordinates, locator, the one-sensor component) and its IAGA code ("Code" of "IAGA"), as a
// small settings file of its own. The central collector keeps it beside the station's day
// files, so that every program that reads the archive stamps a station's days with that
// station's record, not with the record of the machine it runs on.
#include <string>

class TIniFile;

// "station.ini": the record's name in a station's folder of the archive.
extern const char* const kStationRecordName;

// The "MOX-Header" section with the keys present in `ini`, then, when `ini` names one, the
// "IAGA" section with the code; CR LF line ends; empty when none of them is present.
std::string StationRecordText(const TIniFile& ini);

// Whether `text` is a record as StationRecordText writes it: the sections and key=value lines
// only, no longer than a few kilobytes.
bool ValidStationRecord(const std::string& text);

// The settings whose "MOX-Header" applies to the day files of `folder`: the folder's own
// record when it has one, else `fallback` (the local settings file).
std::string RecordSettingsFor(const std::string& folder, const std::string& fallback);
