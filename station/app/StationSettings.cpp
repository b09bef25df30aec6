#include "station/app/StationSettings.h"

#include <cstdlib>

#include "mox/Mm.h"
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
    StationSettings s;
    s.Bounds.Left = ini.ReadInteger("Diagram", "Left", 0);
    s.Bounds.Top = ini.ReadInteger("Diagram", "Top", 0);
    s.Bounds.Width = ini.ReadInteger("Diagram", "Width", 600);
    s.Bounds.Height = ini.ReadInteger("Diagram", "Height", 400);

    // The component's own site record is the default of a new station.
    d.set_Autor(ini.ReadString("MOX-Header", "Autor", d.get_Autor()));
    d.set_Ort(ini.ReadString("MOX-Header", "Ort", d.get_Ort()));
    d.set_Laenge(ini.ReadString("MOX-Header", "Länge", d.get_Laenge()));
    d.set_Breite(ini.ReadString("MOX-Header", "Breite", d.get_Breite()));
    d.set_Locator(ini.ReadString("MOX-Header", "Locator", d.get_Locator()));
    d.set_Bemerkung(ini.ReadString("MOX-Header", "Remarks", ""));
    d.set_Legende(1, ini.ReadString("Diagram", "Label1", "Bx"));
    d.set_Legende(2, ini.ReadString("Diagram", "Label2", "By"));
    d.set_Legende(3, ini.ReadString("Diagram", "Label3", "Bz"));
    d.set_Legende(4, ini.ReadString("Diagram", "Label4", "B"));
    d.set_Titel(ini.ReadString("Diagram", "Titel", ""));
    d.set_is_Autolegende(ini.ReadBool("Diagram", "Autolegende", false));
    d.set_is_Legendedatum(ini.ReadBool("Diagram", "Datum in Legende", true));
    d.set_is_Legendebemerkung(ini.ReadBool("Diagram", "Bemerkung in Legende", true));
    d.set_Legendestil(MOX_Legende_Typ(ini.ReadInteger("Diagram", "Legende-Stil", legBETREIBER_ORT)));
    d.set_Y_Skalierung(MOX_y_scale_Typ(ini.ReadInteger("Diagram", "Skalierung", scale60)));
    d.set_is_AutoScale(ini.ReadBool("Diagram", "Auto-Skalierung", true));
    d.Color1 = TColor(ini.ReadInteger("Diagram", "Color1", 0x800000));
    d.Color2 = TColor(ini.ReadInteger("Diagram", "Color2", 0x0000FF));
    d.Color3 = TColor(ini.ReadInteger("Diagram", "Color3", 0x008000));
    d.Color4 = TColor(ini.ReadInteger("Diagram", "Color4", 0x000000));
    d.set_bkColor(TColor(ini.ReadInteger("Diagram", "bkColor", 0xFFFFFF)));
    d.set_TextColor(TColor(ini.ReadInteger("Diagram", "TextColor", 0x000000)));
    d.set_is_K_index(ini.ReadBool("Diagram", "K-Wert", true));
    d.set_is_K_summe(ini.ReadBool("Diagram", "K-Summe", true));
    d.set_is_K_Balken(ini.ReadBool("Diagram", "K-Farbbalken", true));
    for (int c = 1; c <= 4; ++c)
        d.set_is_K_curve(c, ini.ReadBool("Diagram", "Kurve" + std::to_string(c) + "-K-Wert", true));
    for (int n = 0; n <= 8; ++n)
        d.set_K_limit(n, ini.ReadInteger("K-Wert", "K" + std::to_string(n), TMOX_Diagram::DefaultKLimits[n]));
    s.BatchVorschau = ini.ReadBool("Batch", "Vorschau", false);
    s.BatchVortag = ini.ReadBool("Batch", "Vortag", false);
    s.BatchWAP = ini.ReadBool("Batch", "WAP", true);
    s.BatchHTML = ini.ReadBool("Batch", "HTML", true);
    d.set_1sensor_vec(MOX_Vector_Typ(ini.ReadInteger("MOX-Header", "1-Sensor", vecBy) & 0xFF));
    d.set_is_Korrektur(ini.ReadBool("Diagram", "Korrektur", false));
    d.set_is_noisefilter(ini.ReadBool("Diagram", "Filter", false));
    d.set_is_offsetfilter(ini.ReadBool("Diagram", "Offset-Filter", false));
    d.set_offsetfilter_limit(ini.ReadInteger("Diagram", "Offset-Filter-Limit", 50));
    d.set_is_Alarm(ini.ReadBool("Diagram", "Alarm", true));
    d.set_Alarm_limit(ini.ReadInteger("Diagram", "Alarmschwelle", 90));
    s.Toolbar = ini.ReadBool("Tools", "Toolbar", true);
    s.LogMinimized = ini.ReadBool("Tools", "Log-Minimiert", true);
    if (!logMode) return s;

    s.DataDir = FolderSetting(ini.ReadString("Verzeichnisse", "Datenverzeichnis", ""), DefaultDataDir());
    s.Port = ini.ReadString("COM-Port", "Port", "COM1");
    s.IntervalMinutes = ini.ReadInteger("Batch", "Intervall", 1);
    s.FtpTimeoutSeconds = ini.ReadInteger("Batch", "FTP-Timeout", 1);
    s.BatchBreite = ini.ReadInteger("Batch", "Breite", 400);
    s.BatchHoehe = ini.ReadInteger("Batch", "Hoehe", 250);
    s.BatchStandard = ini.ReadBool("Batch", "Standard", true);
    s.FTP_Intervall = ini.ReadInteger("Batch", "FTP-Intervall", 1);
    s.FTP_Kommando = ini.ReadString("Batch", "FTP-Kommando", "");
    s.StilleSekunden = ini.ReadInteger("COM-Port", "Stille-Sekunden", 0);
    s.UhrToleranz = ini.ReadInteger("COM-Port", "Uhr-Toleranz", 120);
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
