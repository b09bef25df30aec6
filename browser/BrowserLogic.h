#pragma once
// What the browser decides without its windows: its settings, loading a day file into a pane's
// diagram, noticing that a shown file has changed on disk, and the offsets of a click.
#include <cstdint>
#include <optional>
#include <string>

#include "mox/rtl/Types.h"

class TIniFile;
class TMOX_Diagram;

inline constexpr const char* BrowserSection = "MOX_Browser";

struct ZoomBounds {
    int Left = 0, Top = 0, Width = 800, Height = 600;
};

// The browser's own section of the settings file.
struct BrowserSettings {
    std::string Directory;  // the chooser's folder, always an absolute path without trailing '/'
    bool Filter[2] = {true, true};
    bool OffsetFilter[2] = {true, true};
    bool Korrektur[2] = {true, true};
    TColor Colors[4] = {0x800000, 0x0000FF, 0x008000, 0x000000};
    TColor BkColor = 0xFFFFFF;
    ZoomBounds Zoom[2];
};

// Where the chooser starts when no usable folder is stored: the station's data folder, else
// the packaged service's, else the home folder.
std::string DefaultBrowserDirectory();
BrowserSettings ReadBrowserSettings(const TIniFile& ini);
// What the browser writes when it ends: folder, switches and zoom windows (not the colours).
void WriteBrowserState(TIniFile& ini, const BrowserSettings& s);
void WriteBrowserColors(TIniFile& ini, const TColor colors[4], TColor bkColor);

// The component's look in a pane, as the window was designed.
void ApplyPaneDefaults(TMOX_Diagram& d);
// The station's K limits and scale keys, which the browser only reads.
void ApplyStationDiagramSettings(const TIniFile& ini, TMOX_Diagram& d);

// The modification stamp of a file to the nanosecond, or none when it does not exist.
struct FileStamp {
    std::int64_t Seconds = 0;
    std::int64_t Nanoseconds = 0;
    std::int64_t Size = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

// The file a pane shows and its stamp when it was last loaded.
class WatchedFile {
public:
    void Set(const std::string& path, std::optional<FileStamp> stamp);
    const std::string& Path() const { return path; }
    // The file's present stamp when it differs from the one last loaded: the pane is due for
    // a reload. A file that is gone is not due. Any change counts, not only a newer time,
    // since a day file put back from a copy may carry an older time than the one shown.
    std::optional<FileStamp> Due() const;
    void Loaded(const FileStamp& stamp) { this->stamp = stamp; }

private:
    std::string path;
    std::optional<FileStamp> stamp;
};

// Result of loading a day file into a pane's diagram.
struct PaneLoad {
    bool KorrekturAvailable = false;  // a correction file exists for the shown day
    std::string Error;                // empty on success; else names the file and the problem
    std::string Warning;              // loaded, but correction lines were skipped
};

// The pane's title template: file name, curve 1's location and coordinates.
std::string PaneTitle(const std::string& path);
// Legend name of a header's component: "Bx", "By", "Bz", "B", or empty when unknown.
std::string VectorName(std::uint8_t vector);
// Unloads the diagram and loads `path` without the previous day; titles and legends as a
// pane shows them. Never throws: a file that cannot be read is reported in Error.
PaneLoad LoadDayFile(TMOX_Diagram& d, const std::string& path);
// The file a switch reloads: the one curve 1 came from (else the first loaded curve's); empty
// when nothing is loaded.
std::string ReloadPath(const TMOX_Diagram& d);

// Sets the offset of every loaded curve so that it starts at pixel row y of the last drawing.
// False (and nothing changed) when the diagram is empty or y is outside the plot area.
bool SetOffsetsAtRow(TMOX_Diagram& d, int y);

// Caption of a zoom window: "n: " and, with curve 1 loaded, its file, type and date.
std::string ZoomCaption(int number, const TMOX_Diagram& d);
