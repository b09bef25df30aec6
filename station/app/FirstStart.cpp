#include "station/app/FirstStart.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "mox/Coordinates.h"
#include "mox/Mm.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

FirstStartAnswers CurrentAnswers(const TMOX_Diagram& d, const std::string& port)
{
    return {d.get_Autor(), d.get_Ort(), d.get_Laenge(), d.get_Breite(), d.get_Locator(), port};
}

std::vector<std::string> SerialDevicesById(const std::string& byIdFolder)
{
    std::vector<std::string> devices;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(byIdFolder, ec), end; !ec && it != end; it.increment(ec))
        devices.push_back(it->path().string());
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::string FirstStartProblem(const FirstStartAnswers& a)
{
    double degrees;
    if (Trim(a.Autor).empty() || Trim(a.Ort).empty()) return "Bitte Betreiber und Ort der Station angeben.";
    if (IsPlaceholderRecord(a.Autor, a.Ort))
        return std::string("Betreiber und Ort sind noch der Platzhalter (") + placeholder::kAutor + ", " +
               placeholder::kOrt + "): bitte die Angaben Ihrer Station eintragen.";
    if (!ParseDegrees(a.Laenge, false, degrees))
        return "Die Länge \"" + a.Laenge + "\" ist nicht lesbar: Grad mit Himmelsrichtung, z.B. 13.4 E.";
    if (!ParseDegrees(a.Breite, true, degrees))
        return "Die Breite \"" + a.Breite + "\" ist nicht lesbar: Grad mit Himmelsrichtung, z.B. 52.5 N.";
    if (Trim(a.Port).empty()) return "Bitte den Port des Magnetometers angeben.";
    return {};
}

void ApplyFirstStartAnswers(TIniFile& ini, TMOX_Diagram& d, FirstStartAnswers a)
{
    double lat = 0, lon = 0;
    if (Trim(a.Locator).empty() && ParseDegrees(a.Breite, true, lat) && ParseDegrees(a.Laenge, false, lon))
        a.Locator = MaidenheadLocator(lat, lon);
    ini.WriteString("MOX-Header", "Autor", Trim(a.Autor));
    ini.WriteString("MOX-Header", "Ort", Trim(a.Ort));
    ini.WriteString("MOX-Header", "Länge", Trim(a.Laenge));
    ini.WriteString("MOX-Header", "Breite", Trim(a.Breite));
    ini.WriteString("MOX-Header", "Locator", Trim(a.Locator));
    ini.WriteString("COM-Port", "Port", Trim(a.Port));
    d.set_Autor(Trim(a.Autor));
    d.set_Ort(Trim(a.Ort));
    d.set_Laenge(Trim(a.Laenge));
    d.set_Breite(Trim(a.Breite));
    d.set_Locator(Trim(a.Locator));
}
