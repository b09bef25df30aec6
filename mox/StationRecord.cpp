#include "mox/StationRecord.h"

#include "mox/Mm.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/SysUtils.h"

bool IsPlaceholderRecord(const std::string& author, const std::string& location)
{
    return Trim(author) == placeholder::kAutor || Trim(location) == placeholder::kOrt;
}

std::string PlaceholderRecordNote(const std::string& settingsFile)
{
    return std::string("Die Stationsangaben sind noch der Platzhalter (") + placeholder::kAutor + ", " +
           placeholder::kOrt + ", " + placeholder::kBreite + ", " + placeholder::kLaenge +
           ") und stehen so in jeder geschriebenen Datei. Die eigenen Angaben gehören in den "
           "Abschnitt [MOX-Header] (Autor, Ort, Länge, Breite, Locator) von " +
           VisibleText(settingsFile) + ".";
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
