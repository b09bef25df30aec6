#pragma once
// The station's part of the settings file: what the main window reads at start, with the
// defaults a new station starts from.
#include <string>

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
};

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

// "Verzeichnisse" / "Bilder", read at every batch.
std::string ReadImageDir(const TIniFile& ini);
// "Batch" / "Bildformat", read at every image save: 0 BMP, 1 JPEG, 2 PNG, else none.
int ReadImageFormat(const TIniFile& ini);
