#pragma once
// Exchange with observatories and station networks in IAGA-2002, the community's plain-text
// format of one-minute and one-second values (70-column records, times in UT).
//
// Both directions parse the whole input before they write, and write each file under a
// temporary name that replaces the target only when complete: a damaged input or a full disk
// never leaves half a file. Faults of the input raise EConvertError naming the file and,
// where there is one, the line; files that cannot be read or written raise std::system_error.
#include <string>
#include <vector>

class TIniFile;

// Three letters or digits, as the observatories' codes are.
bool IsValidIagaCode(const std::string& code);
// The station's code, "Code" in [IAGA] of the settings; empty, with the complaint naming the
// settings file in `problem`, when it is missing or no code.
std::string SettingsIagaCode(const TIniFile& ini, std::string& problem);
// The code of the station whose day files lie in `folder`: from the record the folder keeps (a
// station's folder in a network's archive), else from `local`, this machine's settings. Empty,
// with the complaint in `problem`, when that one names no valid code.
std::string FolderIagaCode(const std::string& folder, const TIniFile& local, std::string& problem);

// The folder the files go to, ending in '/': `outDir`, made when missing, or, when empty, the
// input's folder. Raises std::system_error when the folder cannot be made.
std::string IagaOutputFolder(const std::string& outDir, const std::string& input);

// One IAGA-2002 file (minute or second values, one or more UT days) into one TYPE 4 day file
// per UT day in `outDir` (empty: the input's folder), named by the code in lower case and
// the date ("bou20141101.mox"). Each minute holds the mean of its samples, halves rounded to
// even, or NaN without samples. Returns the files written, in the order of the days.
std::vector<std::string> ImportIaga2002(const std::string& file, const std::string& outDir = {});

// A day file (TYPE 1, 2 or 4) into one IAGA-2002 minute file of variations in `outDir`
// (empty: the day file's folder), named by the code in lower case, the date and "vmin.min"
// ("plv20261208vmin.min"). Returns the file written. A day file with the placeholder station
// record is told once per process (stderr, and the settings' notes a window takes), naming
// where the record is set: the record its folder keeps, else the settings file.
std::string ExportIaga2002(const std::string& dayFile, const std::string& code, const std::string& outDir = {});
