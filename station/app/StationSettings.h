#pragma once
// The station's part of the settings file: what the main window reads at start, with the
// defaults a new station starts from.
#include <string>

#include "mox/rtl/BoundedSetting.h"

class TIniFile;
class TMOX_Diagram;

struct WindowBounds {
    int Left = 0, Top = 0, Width = 600, Height = 400;
};

struct StationSettings {
    WindowBounds Bounds;
    bool Toolbar = true;
    // A logging station starts minimized unless "Tools" / "Log-Minimiert" is 0.
    bool LogMinimized = true;
    bool BatchVorschau = false;
    bool BatchVortag = false;
    bool BatchWAP = true;
    bool BatchHTML = true;

    // Logging mode only; the other modes keep these values.
    std::string DataDir;  // always ends in '/'
    std::string Port;
    int IntervalMinutes = 0;
    int FtpTimeoutSeconds = 0;
    int BatchBreite = 0;
    int BatchHoehe = 0;
    bool BatchStandard = false;
    int FTP_Intervall = 0;
    std::string FTP_Kommando;
    // "COM-Port" / "Stille-Sekunden": silence before the alarm, 0 automatic.
    int StilleSekunden = 0;
    // "COM-Port" / "Uhr-Toleranz": seconds the device clock may differ from UTC.
    int UhrToleranz = 120;
    // "COM-Port" / "Erste-Zeile-Sekunden": how long after opening the port the first line may
    // take before the station asks whether a device is attached.
    int ErsteZeileSekunden = 60;
};

// The ranges of the logging station's numbers, as its batch dialog offers them. They also keep
// the timers in range: minutes x 60000 and seconds x 1000 must fit a timer's int.
inline constexpr IntRange kBatchIntervalRange{1, 30};  // minutes
inline constexpr IntRange kFtpIntervalRange{1, 60};    // batches
// The dialog offers 30..120 s; the 1 s that a missing key gives stays allowed.
inline constexpr IntRange kFtpTimeoutRange{1, 120};     // seconds
inline constexpr IntRange kBatchWidthRange{400, 1200};  // pixels
inline constexpr IntRange kBatchHeightRange{250, 900};
// 0 automatic; at most a day of silence before the alarm.
inline constexpr IntRange kSilenceRange{0, 86400};  // seconds
// 0 no check; at most a day.
inline constexpr IntRange kClockToleranceRange{0, 86400};  // seconds
inline constexpr IntRange kFirstLineRange{1, 3600};        // seconds

// Folder defaults below $XDG_DATA_HOME (~/.local/share) replace the drive letters of old
// settings files.
std::string DefaultDataDir();
std::string DefaultImageDir();
// A folder setting as a folder: with exactly one trailing '/', "~/" expanded.
std::string AsFolder(const std::string& path);

// Reads the window, diagram and batch keys in the order of the settings table and applies the
// diagram's keys to `diagram`; with `logMode`, also the logging keys.
StationSettings ReadStationSettings(const TIniFile& ini, TMOX_Diagram& diagram, bool logMode);
void WriteWindowBounds(TIniFile& ini, const WindowBounds& b);
// The station has never run on this settings file (no window bounds stored) and its station
// record was never set: every header, legend and page would carry the placeholder record.
bool FirstStationStart(const TIniFile& ini);

// "Verzeichnisse" / "Bilder", read at every batch.
std::string ReadImageDir(const TIniFile& ini);
// "Batch" / "Bildformat", read at every image save: 0 BMP, 1 JPEG, 2 PNG, else none.
int ReadImageFormat(const TIniFile& ini);
