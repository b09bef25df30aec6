#include "browser/BrowserLogic.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <new>

#include "mox/DayFileReader.h"
#include "mox/Mm.h"
#include "mox/SettingRanges.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

namespace {

// A zoom window may be small, but not beyond what a screen can show.
constexpr IntRange kZoomWidthRange{100, kWindowWidthRange.Max};
constexpr IntRange kZoomHeightRange{100, kWindowHeightRange.Max};

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// A stored folder as a folder of this machine: backslashes of old Windows settings become
// '/', and a drive name ("C:", "D:\Daten") or a folder that no longer exists is no folder.
std::string UsableFolder(const std::string& value)
{
    const bool drive = value.size() >= 2 && value[1] == ':';
    if (value.empty() || drive) return {};
    std::string p = value;
    for (char& c : p)
        if (c == '\\') c = '/';
    if (p.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        p = std::string(home ? home : "") + p.substr(1);
    }
    return IsDirectory(p) ? WithoutTrailingSlash(p) : std::string();
}

std::string Key(const char* name, int pane) { return name + std::to_string(pane); }

// One readable line for whatever a load raised; the file is named once.
std::string LoadError(const std::string& path, const std::string& what)
{
    if (what.find(path) != std::string::npos) return what;
    return path + ": " + what;
}

// Whether the stream holds `text`, read in blocks: a large file that is no day file at all
// must not be read into memory whole.
bool Contains(std::istream& in, const std::string& text)
{
    std::string window;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        window.append(block, std::size_t(in.gcount()));
        if (window.find(text) != std::string::npos) return true;
        window.erase(0, window.size() - std::min(window.size(), text.size() - 1));
    }
    return false;
}

}  // namespace

std::string DefaultBrowserDirectory()
{
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) data = std::string(home) + "/.local/share";
    if (!data.empty() && IsDirectory(data + "/mox/data")) return data + "/mox/data";
    // The packaged service's data, which members of the group mox may read.
    if (IsDirectory("/var/lib/mox/data")) return "/var/lib/mox/data";
    const char* home = std::getenv("HOME");
    return home && IsDirectory(home) ? WithoutTrailingSlash(home) : "/";
}

BrowserSettings ReadBrowserSettings(const TIniFile& ini)
{
    BrowserSettings s;
    s.Directory = UsableFolder(ini.ReadString(BrowserSection, "Datenverzeichnis", "C:"));
    // Without a folder of its own the browser looks where the station logs.
    if (s.Directory.empty()) s.Directory = UsableFolder(ini.ReadString("Verzeichnisse", "Datenverzeichnis", ""));
    if (s.Directory.empty()) s.Directory = DefaultBrowserDirectory();
    for (int p = 0; p < 2; ++p) {
        s.Filter[p] = ini.ReadBool(BrowserSection, Key("Filter", p + 1), true);
        s.OffsetFilter[p] = ini.ReadBool(BrowserSection, Key("Offset-Filter", p + 1), true);
        s.Korrektur[p] = ini.ReadBool(BrowserSection, Key("Korrektur", p + 1), true);
    }
    const BrowserSettings defaults;
    for (int c = 0; c < 4; ++c)
        s.Colors[c] =
            TColor(ReadBoundedInteger(ini, BrowserSection, Key("Color", c + 1), int(defaults.Colors[c]), kColorRange));
    s.BkColor = TColor(ReadBoundedInteger(ini, BrowserSection, "bkColor", int(defaults.BkColor), kColorRange));
    for (int p = 0; p < 2; ++p) {
        ZoomBounds& z = s.Zoom[p];
        z.Left = ReadBoundedInteger(ini, BrowserSection, Key("Left", p + 1), 0, kWindowPosRange);
        z.Top = ReadBoundedInteger(ini, BrowserSection, Key("Top", p + 1), 0, kWindowPosRange);
        z.Width = ReadBoundedInteger(ini, BrowserSection, Key("Width", p + 1), 800, kZoomWidthRange);
        z.Height = ReadBoundedInteger(ini, BrowserSection, Key("Height", p + 1), 600, kZoomHeightRange);
    }
    return s;
}

void WriteBrowserState(TIniFile& ini, const BrowserSettings& s)
{
    ini.WriteString(BrowserSection, "Datenverzeichnis", s.Directory);
    for (int p = 0; p < 2; ++p) {
        ini.WriteBool(BrowserSection, Key("Filter", p + 1), s.Filter[p]);
        ini.WriteBool(BrowserSection, Key("Offset-Filter", p + 1), s.OffsetFilter[p]);
        ini.WriteBool(BrowserSection, Key("Korrektur", p + 1), s.Korrektur[p]);
    }
    for (int p = 0; p < 2; ++p) {
        const ZoomBounds& z = s.Zoom[p];
        ini.WriteInteger(BrowserSection, Key("Left", p + 1), z.Left);
        ini.WriteInteger(BrowserSection, Key("Top", p + 1), z.Top);
        ini.WriteInteger(BrowserSection, Key("Width", p + 1), z.Width);
        ini.WriteInteger(BrowserSection, Key("Height", p + 1), z.Height);
    }
}

void WriteBrowserColors(TIniFile& ini, const TColor colors[4], TColor bkColor)
{
    for (int c = 0; c < 4; ++c) ini.WriteInteger(BrowserSection, Key("Color", c + 1), int(colors[c]));
    ini.WriteInteger(BrowserSection, "bkColor", int(bkColor));
}

void ApplyPaneDefaults(TMOX_Diagram& d)
{
    d.set_is_Autolegende(false);
    d.set_is_Legendedatum(false);
    d.set_Legendestil(legLOCATOR);
    d.Color1 = 0x800000;
    d.Color2 = 0x0000FF;
    d.Color3 = 0x008000;
    d.Color4 = 0x000000;
    d.set_bkColor(0xFFFFFF);
    d.set_TextColor(0x000000);
    d.set_is_Korrektur(false);
    d.set_offsetfilter_limit(50);
}

void ApplyStationDiagramSettings(const TIniFile& ini, TMOX_Diagram& d)
{
    for (int n = 0; n <= 8; ++n)
        d.set_K_limit(n, ReadBoundedInteger(ini, "K-Wert", "K" + std::to_string(n), TMOX_Diagram::DefaultKLimits[n],
                                            KLimitRange(n, d.get_K_limit(n - 1))));
    d.set_Y_Skalierung(MOX_y_scale_Typ(ReadBoundedInteger(ini, "Diagram", "Skalierung", scale60, kScaleRange)));
    d.set_is_AutoScale(ini.ReadBool("Diagram", "Auto-Skalierung", true));
    d.set_is_Alarm(ini.ReadBool("Diagram", "Alarm", true));
    d.set_Alarm_limit(ReadBoundedInteger(ini, "Diagram", "Alarmschwelle", 90, kAlarmLevelRange));
    d.set_offsetfilter_limit(ReadBoundedInteger(ini, "Diagram", "Offset-Filter-Limit", 50, kOffsetFilterRange));
}

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{std::int64_t(st.st_mtim.tv_sec), std::int64_t(st.st_mtim.tv_nsec), std::int64_t(st.st_size)};
}

void WatchedFile::Set(const std::string& p, std::optional<FileStamp> s)
{
    path = p;
    stamp = s;
}

std::optional<FileStamp> WatchedFile::Due() const
{
    if (path.empty()) return std::nullopt;
    const std::optional<FileStamp> now = StampOf(path);
    if (!now || now == stamp) return std::nullopt;
    return now;
}

std::string PaneTitle(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) + ": $ORT1$ ($KOORD1$)";
}

std::string VectorName(std::uint8_t vector)
{
    switch (vector) {
    case vecBx: return "Bx";
    case vecBy: return "By";
    case vecBz: return "Bz";
    case vecB: return "B";
    default: return "";
    }
}

PaneLoad LoadDayFile(TMOX_Diagram& d, const std::string& path)
{
    PaneLoad result;
    d.reset_Diagram();
    try {
        d.AutoLoad(path, false);
    } catch (const std::bad_alloc&) {
        result.Error = path + ": zu wenig Speicher, um die Datei zu laden";
    } catch (const std::exception& e) {
        result.Error = LoadError(path, e.what());
    }
    d.set_Titel(PaneTitle(path));
    int last = 0;
    for (int c = 1; c <= TMOX_Diagram::CurveCount; ++c) {
        if (!d.is_loaded(c)) continue;
        d.set_Legende(c, VectorName(d.get_Header(c).Vector));
        last = c;
        // Correction lines that could not be read were skipped; the observer should know.
        if (const std::string bad = d.get_korr_errors(c); !bad.empty() && result.Warning.empty())
            result.Warning = "Übergangene Korrekturzeilen:\n" + bad;
    }
    result.KorrekturAvailable = last != 0 && d.get_Header(last).is_korr_file;
    if (!result.Error.empty()) return result;
    if (last == 0) {
        if (!FileExists(path)) {
            result.Error = path + ": die Datei gibt es nicht (mehr)";
            return result;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) result.Error = path + ": die Datei ist nicht lesbar";
        else if (!Contains(in, "TYPE:")) result.Error = path + ": keine MOX-Tagesdatei (ohne TYPE-Zeile)";
        if (!result.Error.empty()) return result;
    }
    // The loader takes what it can; the strict reader tells a damaged file, which would
    // otherwise show as a day with gaps or as an empty one. A day file that holds no readings
    // yet is no error: it is shown as the empty day it is.
    try {
        ReadDayFile(path);
    } catch (const std::exception& e) {
        const std::string damaged = std::string("Die Tagesdatei ist beschädigt: ") + e.what();
        if (last == 0) result.Error = damaged;
        else result.Warning = damaged + (result.Warning.empty() ? "" : "\n\n" + result.Warning);
    }
    return result;
}

std::string ReloadPath(const TMOX_Diagram& d)
{
    if (d.is_loaded(1)) return d.get_Header(1).FileName;
    for (int c = 2; c <= TMOX_Diagram::CurveCount; ++c)
        if (d.is_loaded(c)) return d.get_Header(c).FileName;
    return {};
}

bool SetOffsetsAtRow(TMOX_Diagram& d, int y)
{
    if (d.is_empty()) return false;
    const double nT = d.get_nT(y);
    // Outside the plot area (and before any drawing) there is no field value to move to.
    if (!std::isfinite(nT) || std::fabs(nT) > 2e9) return false;
    const int offset = int(std::trunc(nT));
    for (int c = 1; c <= TMOX_Diagram::CurveCount; ++c)
        if (d.is_loaded(c)) d.set_Offset(c, offset);
    return true;
}

std::string ZoomCaption(int number, const TMOX_Diagram& d)
{
    std::string caption = std::to_string(number) + ": ";
    if (!d.is_loaded(1)) return caption;
    const MOX_Header h = d.get_Header(1);
    caption += h.FileName + " - (" + h.TypeDescription + ") - " + DateToStr(h.Date);
    return caption;
}
