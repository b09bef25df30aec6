#include "mox/StationRecord.h"

#include "mox/SettingRanges.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"
#include "mox/rtl/SysUtils.h"

bool IsPlaceholderRecord(const std::string& author, const std::string& location)
{
    return Trim(author) == placeholder::kAutor || Trim(location) == placeholder::kOrt;
}

std::string PlaceholderRecordNote(const std::string& settingsFile)
{
    const std::string placeholder = std::string("Die Stationsangaben sind noch der Platzhalter (") +
                                    placeholder::kAutor + ", " + placeholder::kOrt + ", " + placeholder::kBreite +
                                    ", " + placeholder::kLaenge + ") und stehen so in jeder geschriebenen Datei. ";
    // The record an archive keeps comes from the station; set by hand it would be replaced.
    const std::string record = kStationRecordName;
    if (settingsFile.size() >= record.size() &&
        settingsFile.compare(settingsFile.size() - record.size(), record.size(), record) == 0)
        return placeholder +
               "Die Station setzt ihre eigenen im Abschnitt [MOX-Header] (Autor, Ort, Länge, Breite, Locator) ihrer "
               "Einstellungen; die Sammelstelle legt sie als " +
               VisibleText(settingsFile) + " ab.";
    return placeholder + "Die eigenen Angaben gehören in den Abschnitt [MOX-Header] (Autor, Ort, Länge, Breite, " +
           "Locator) von " + VisibleText(settingsFile) + ".";
}

void TellIfPlaceholderRecord(const std::string& author, const std::string& location, const std::string& settingsFile)
{
    if (IsPlaceholderRecord(author, location))
        TellSettingOnce("placeholder station record", PlaceholderRecordNote(settingsFile));
}

void TellIfPlaceholderRecord(const TMOX_Diagram& diagram, const std::string& settingsFile)
{
    TellIfPlaceholderRecord(diagram.get_Autor(), diagram.get_Ort(), settingsFile);
}

void ReadStationRecord(const TIniFile& ini, TMOX_Diagram& d)
{
    d.set_Autor(ini.ReadString("MOX-Header", "Autor", placeholder::kAutor));
    d.set_Ort(ini.ReadString("MOX-Header", "Ort", placeholder::kOrt));
    d.set_Laenge(ini.ReadString("MOX-Header", "Länge", placeholder::kLaenge));
    d.set_Breite(ini.ReadString("MOX-Header", "Breite", placeholder::kBreite));
    d.set_Locator(ini.ReadString("MOX-Header", "Locator", placeholder::kLocator));
    // The component ignores the total field and keeps what it had: By, as a station's own.
    d.set_1sensor_vec(vecBy);
    d.set_1sensor_vec(MOX_Vector_Typ(ReadBoundedInteger(ini, "MOX-Header", "1-Sensor", vecBy, kSensorRange)));
}

FolderRecord::FolderRecord(TMOX_Diagram& d, const std::string& folder) : diagram(d), file(RecordSettingsFor(folder, ""))
{
    if (file.empty()) return;
    saved = Saved{d.get_Autor(),   d.get_Ort(),       d.get_Laenge(),     d.get_Breite(),
                  d.get_Locator(), d.get_Bemerkung(), d.get_1sensor_vec()};
    ReadStationRecord(TIniFile(file), d);
    d.set_Bemerkung("");
}

FolderRecord::~FolderRecord()
{
    if (!saved) return;
    diagram.set_Autor(saved->autor);
    diagram.set_Ort(saved->ort);
    diagram.set_Laenge(saved->laenge);
    diagram.set_Breite(saved->breite);
    diagram.set_Locator(saved->locator);
    diagram.set_Bemerkung(saved->bemerkung);
    diagram.set_1sensor_vec(saved->sensor);
}
