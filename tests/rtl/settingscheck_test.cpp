#include <gtest/gtest.h>

#include "../support/TempDir.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SettingsCheck.h"

namespace {

const std::vector<KnownSection> kKnown = {
    {"MOX-Header", {"Autor", "Ort", "Länge", "Breite", "Locator"}},
    {"Batch", {"Intervall", "FTP-Kommando", "Bildformat"}},
};

std::vector<std::string> Texts(const std::vector<std::string>& lines)
{
    std::vector<std::string> texts;
    for (const SettingsRemark& r : CheckSettingsLines("/etc/mox/mox.ini", lines, kKnown)) texts.push_back(r.text);
    return texts;
}

}  // namespace

TEST(SettingsCheck, SlipsAreToldWithTheKeyMeant)
{
    EXPECT_EQ(NearestKey("Laenge", kKnown[0].keys), "Länge");
    EXPECT_EQ(NearestKey("LAENGE", kKnown[0].keys), "Länge");
    EXPECT_EQ(NearestKey("Breit", kKnown[0].keys), "Breite");
    EXPECT_EQ(NearestKey("Lokator", kKnown[0].keys), "Locator");
    EXPECT_EQ(NearestKey("FTP-Komando", kKnown[1].keys), "FTP-Kommando");
    EXPECT_EQ(NearestKey("Passwort", kKnown[0].keys), "");
    EXPECT_EQ(NearestKey("x", kKnown[0].keys), "");

    EXPECT_EQ(Texts({"[MOX-Header]", "Ort=Lindenberg", "Laenge=14.1 E", "; Laenge=alt", "Passwort=x", "", "[Batch]",
                     "intervall=2", "Bildformt=2", "[Fremd]", "Laenge=1"}),
              (std::vector<std::string>{
                  "/etc/mox/mox.ini, Zeile 3, [MOX-Header] Laenge: meinten Sie Länge?",
                  "/etc/mox/mox.ini, Zeile 5, [MOX-Header] Passwort: unbekannter Schlüssel, er gilt nicht.",
                  "/etc/mox/mox.ini, Zeile 9, [Batch] Bildformt: meinten Sie Bildformat?",
              }));
}

TEST(SettingsCheck, ARepeatedSectionIsToldOnceWithItsLines)
{
    EXPECT_EQ(Texts({"[Batch]", "Intervall=1", "[MOX-Header]", "Ort=A", "[batch]", "Intervall=5", "Unsinn=1", "[Batch]",
                     "Intervall=9"}),
              (std::vector<std::string>{
                  "/etc/mox/mox.ini: Der Abschnitt [batch] steht mehrmals in der Datei (Zeile 1 und 5); gelesen "
                  "wird nur der erste, die späteren gelten nicht.",
              }));
}

// Told once per process however often the file is read, and on the channel the windows take
// their notes from.
TEST(SettingsCheck, AFileIsCheckedAsItStandsAndEachRemarkToldOnce)
{
    TempDir dir;
    WriteBytes(dir / "mox.ini", "[MOX-Header]\r\nL\xE4nge=1 E\r\nLaenge=2 E\r\n[Batch]\r\n[Batch]\r\n");
    TakeSettingNotes();
    const TIniFile ini(dir / "mox.ini");
    CheckSettingsFile(ini, kKnown);
    CheckSettingsFile(ini, kKnown);
    const std::vector<std::string> notes = TakeSettingNotes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("Zeile 3, [MOX-Header] Laenge: meinten Sie Länge?"), std::string::npos) << notes[0];
    EXPECT_NE(notes[1].find("[Batch] steht mehrmals"), std::string::npos) << notes[1];
}
