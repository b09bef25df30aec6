#include "station/app/StationSettings.h"

#include <cstdlib>

#include "mox/Mm.h"
#include "mox/SettingRanges.h"
#include "mox/SettingsKeys.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"

namespace {

std::string DataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share";
}

// Settings files carried over from a Windows station name drives ("C:\Daten"); such a
// folder does not exist here, so the station's own default takes its place.
std::string FolderSetting(const std::string& value, const std::string& def)
{
    const bool drive = value.size() >= 2 && value[1] == ':' &&
                       ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'));
    if (value.empty() || drive) return def;
    std::string p = value;
    for (char& c : p)
        if (c == '\\') c = '/';
    return AsFolder(p);
}

}  // namespace

std::string DefaultDataDir() { return DataHome() + "/mox/data/"; }
std::string DefaultImageDir() { return DataHome() + "/mox/images/"; }

std::string AsFolder(const std::string& path)
{
    std::string p = path;
    if (p.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        p = std::string(home ? home : "") + p.substr(1);
    }
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p.empty()) return "./";
    if (p != "/") p += '/';
    return p;
}

StationSettings ReadStationSettings(const TIniFile& ini, TMOX_Diagram& d, bool logMode)
{
    CheckSettingsFile(ini, KnownSettingsSections());
    StationSettings s;
    s.Bounds.Left = ReadBoundedInteger(ini, "Diagram", "Left", 0, kWindowPosRange);
    s.Bounds.Top = ReadBoundedInteger(ini, "Diagram", "Top", 0, kWindowPosRange);
    s.Bounds.Width = ReadBoundedInteger(ini, "Diagram", "Width", 600, kWindowWidthRange);
    s.Bounds.Height = ReadBoundedInteger(ini, "Diagram", "Height", 400, kWindowHeightRange);

    // The component's own site record is the default of a new station.
    ReadStationRecord(ini, d);
    d.set_Bemerkung(ini.ReadString("MOX-Header", "Remarks", ""));
    // The logging station writes the record into every file; a first start asks for it instead.
    if (logMode && !FirstStationStart(ini)) TellIfPlaceholderRecord(d, ini.FileName());
    d.set_Legende(1, ini.ReadString("Diagram", "Label1", "Bx"));
    d.set_Legende(2, ini.ReadString("Diagram", "Label2", "By"));
    d.set_Legende(3, ini.ReadString("Diagram", "Label3", "Bz"));
    d.set_Legende(4, ini.ReadString("Diagram", "Label4", "B"));
    d.set_Titel(ini.ReadString("Diagram", "Titel", ""));
    d.set_is_Autolegende(ini.ReadBool("Diagram", "Autolegende", false));
    d.set_is_Legendedatum(ini.ReadBool("Diagram", "Datum in Legende", true));
    d.set_is_Legendebemerkung(ini.ReadBool("Diagram", "Bemerkung in Legende", true));
    d.set_Legendestil(
        MOX_Legende_Typ(ReadBoundedInteger(ini, "Diagram", "Legende-Stil", legBETREIBER_ORT, kLegendStyleRange)));
    d.set_Y_Skalierung(MOX_y_scale_Typ(ReadBoundedInteger(ini, "Diagram", "Skalierung", scale60, kScaleRange)));
    d.set_is_AutoScale(ini.ReadBool("Diagram", "Auto-Skalierung", true));
    d.Color1 = TColor(ReadBoundedInteger(ini, "Diagram", "Color1", 0x800000, kColorRange));
    d.Color2 = TColor(ReadBoundedInteger(ini, "Diagram", "Color2", 0x0000FF, kColorRange));
    d.Color3 = TColor(ReadBoundedInteger(ini, "Diagram", "Color3", 0x008000, kColorRange));
    d.Color4 = TColor(ReadBoundedInteger(ini, "Diagram", "Color4", 0x000000, kColorRange));
    d.set_bkColor(TColor(ReadBoundedInteger(ini, "Diagram", "bkColor", 0xFFFFFF, kColorRange)));
    d.set_TextColor(TColor(ReadBoundedInteger(ini, "Diagram", "TextColor", 0x000000, kColorRange)));
    d.set_is_K_index(ini.ReadBool("Diagram", "K-Wert", true));
    d.set_is_K_summe(ini.ReadBool("Diagram", "K-Summe", true));
    d.set_is_K_Balken(ini.ReadBool("Diagram", "K-Farbbalken", true));
    for (int c = 1; c <= 4; ++c)
        d.set_is_K_curve(c, ini.ReadBool("Diagram", "Kurve" + std::to_string(c) + "-K-Wert", true));
    for (int n = 0; n <= 8; ++n)
        d.set_K_limit(n, ReadBoundedInteger(ini, "K-Wert", "K" + std::to_string(n), TMOX_Diagram::DefaultKLimits[n],
                                            KLimitRange(n, d.get_K_limit(n - 1))));
    s.BatchVorschau = ini.ReadBool("Batch", "Vorschau", false);
    s.BatchVortag = ini.ReadBool("Batch", "Vortag", false);
    s.BatchWAP = ini.ReadBool("Batch", "WAP", true);
    s.BatchHTML = ini.ReadBool("Batch", "HTML", true);
    d.set_is_Korrektur(ini.ReadBool("Diagram", "Korrektur", false));
    d.set_is_noisefilter(ini.ReadBool("Diagram", "Filter", false));
    d.set_is_offsetfilter(ini.ReadBool("Diagram", "Offset-Filter", false));
    d.set_offsetfilter_limit(ReadBoundedInteger(ini, "Diagram", "Offset-Filter-Limit", 50, kOffsetFilterRange));
    d.set_is_Alarm(ini.ReadBool("Diagram", "Alarm", true));
    d.set_Alarm_limit(ReadBoundedInteger(ini, "Diagram", "Alarmschwelle", 90, kAlarmLevelRange));
    s.Toolbar = ini.ReadBool("Tools", "Toolbar", true);
    s.LogMinimized = ini.ReadBool("Tools", "Log-Minimiert", true);
    if (!logMode) return s;

    s.DataDir = FolderSetting(ini.ReadString("Verzeichnisse", "Datenverzeichnis", ""), DefaultDataDir());
    s.Port = ini.ReadString("COM-Port", "Port", "COM1");
    s.IntervalMinutes = ReadBoundedInteger(ini, "Batch", "Intervall", 1, kBatchIntervalRange);
    s.FtpTimeoutSeconds = ReadBoundedInteger(ini, "Batch", "FTP-Timeout", 1, kFtpTimeoutRange);
    s.BatchBreite = ReadBoundedInteger(ini, "Batch", "Breite", 400, kBatchWidthRange);
    s.BatchHoehe = ReadBoundedInteger(ini, "Batch", "Hoehe", 250, kBatchHeightRange);
    s.BatchStandard = ini.ReadBool("Batch", "Standard", true);
    s.FTP_Intervall = ReadBoundedInteger(ini, "Batch", "FTP-Intervall", 1, kFtpIntervalRange);
    s.FTP_Kommando = ini.ReadString("Batch", "FTP-Kommando", "");
    s.StilleSekunden = ReadBoundedInteger(ini, "COM-Port", "Stille-Sekunden", 0, kSilenceRange);
    s.UhrToleranz = ReadBoundedInteger(ini, "COM-Port", "Uhr-Toleranz", 120, kClockToleranceRange);
    s.ErsteZeileSekunden = ReadBoundedInteger(ini, "COM-Port", "Erste-Zeile-Sekunden", 60, kFirstLineRange);
    return s;
}

void WriteWindowBounds(TIniFile& ini, const WindowBounds& b)
{
    ini.WriteInteger("Diagram", "Left", b.Left);
    ini.WriteInteger("Diagram", "Top", b.Top);
    ini.WriteInteger("Diagram", "Width", b.Width);
    ini.WriteInteger("Diagram", "Height", b.Height);
}

std::string ReadImageDir(const TIniFile& ini)
{
    return FolderSetting(ini.ReadString("Verzeichnisse", "Bilder", ""), DefaultImageDir());
}

int ReadImageFormat(const TIniFile& ini) { return ini.ReadInteger("Batch", "Bildformat", 0); }

bool FirstStationStart(const TIniFile& ini)
{
    return !ini.ValueExists("Diagram", "Width") && !ini.ValueExists("MOX-Header", "Autor") &&
           !ini.ValueExists("MOX-Header", "Ort");
}
