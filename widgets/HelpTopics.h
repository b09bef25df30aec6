#pragma once
// Every help topic the programs open: the page that explains it and the keyword (the anchor at
// its heading). Windows name a topic, never a keyword, so this table is the whole list the
// help test walks.
#include <cstddef>
#include <iterator>

enum class THelpTopic {
    ViewAllgemein,
    Einfuehrung,
    ViewDiagrammeinstellungen,
    ViewFarbeinstellungen,
    ViewKommandozeile,
    ViewLogEinstellungen,
    ViewBatchEinstellungen,
    ViewKurvenLaden,
    ViewKurvenLoeschen,
    ViewKurvenoffset,
    ViewFilteroptionen,
    ViewTitelLegende,
    ViewKurvenkorrektur,
    ViewInfo,
    ViewKurveninformationen,
    ViewMitschnittKonvertierung,
    ViewMagnetsrodeKonvertierung,
    BrowserProgramm,
    BrowserFarbeinstellungen,
    ConvertProgramm,
    ConvertFenster,
    IniAllgemein,
    IniTaeglicherReset,
    IniResetZeitpunkt,
    IniZweiterSensor,
    IniDisplaybeleuchtung,
    IniDigitaleingang,
    IniDatumUhrzeitRs232,
    IniSensoren,
    IniKGrenzen,
    IniDatenintervall,
    IniRs232Modus,
    IniAnalogIntervall,
    IniAnalogModus,
    IniAlarm,
    IniDatumUhrzeitSetzen,
};

struct THelpPlace {
    const char* Page;     // file in the help folder
    const char* Keyword;  // anchor name in that page
};

inline constexpr THelpPlace kHelpPlaces[] = {
    {"mox_view.html", "MOX_View_Allgemein"},
    {"mox_view.html", "MOX_Einführung und Vorgeschichte"},
    {"mox_view_settings.html", "MOX_View: Diagrammeinstellungen"},
    {"mox_view_settings.html", "MOX_View: Farbeinstellungen"},
    {"mox_view_settings.html", "MOX_View_Aufruf mit Kommandozeilenparameter"},
    {"mox_view_settings.html", "MOX_View: Log-Einstellungen"},
    {"mox_view_settings.html", "MOX_View: Batch-Einstellungen"},
    {"mox_view_curves.html", "MOX_View: Laden von Kurven in das Diagramm"},
    {"mox_view_curves.html", "MOX_View: Löschen von Kurven aus dem Diagramm"},
    {"mox_view_curves.html", "MOX_View: Verändern des Kurvenoffsets"},
    {"mox_view_curves.html", "MOX_View: Filteroptionen"},
    {"mox_view_curves.html", "MOX_View: Festlegen von Diagrammtitel und -legende"},
    {"mox_view_info.html", "MOX_View: Kurvenkorrektur"},
    {"mox_view_info.html", "MOX_View: Info_Dialog"},
    {"mox_view_info.html", "MOX_View: Kurveninformationen"},
    {"mox_view_info.html", "MOX_View: Konvertierung von MOX-Mitschnitten in das MOX-Format"},
    {"mox_view_info.html", "MOX_View: Konvertierung von Daten aus Magnetsrode in das MOX-Format"},
    {"mox_browser.html", "MOX_Browser_Programmbeschreibung"},
    {"mox_browser.html", "MOX_View: Farbeinstellungen"},
    {"mox_convert.html", "MOX_Convert_Programmbeschreibung"},
    {"mox_convert.html", "MOX_Convert: Programmbeschreibung"},
    {"mox_ini.html", "MOX_Ini_Allgemein"},
    {"mox_ini.html", "MOX_Ini: täglicher Reset?"},
    {"mox_ini.html", "MOX_Ini: Zeitpunkt des täglichen Resets"},
    {"mox_ini.html", "MOX_Ini: 2. Sensor angeschlossen?"},
    {"mox_ini.html", "MOX_Ini: Displaybeleuchtung ständig an?"},
    {"mox_ini.html", "MOX_Ini: Digitaleingang aktivieren?"},
    {"mox_ini.html", "MOX_Ini: Datum und Uhrzeit auf RS-232?"},
    {"mox_ini.html", "MOX_Ini: Sensoren"},
    {"mox_ini.html", "MOX_Ini: K0 .. K8"},
    {"mox_ini.html", "MOX_Ini: Datenintervall"},
    {"mox_ini.html", "MOX_Ini: RS-232 Modus"},
    {"mox_ini.html", "MOX_Ini: Intervall 1./2. Analogausgang"},
    {"mox_ini.html", "MOX_Ini: Modus 2. Analogausgang"},
    {"mox_ini.html", "MOX_Ini: Alarm bei K"},
    {"mox_ini.html", "MOX_Ini: Setzen von Datum und Uhrzeit"},
};

inline constexpr std::size_t kHelpTopicCount = std::size(kHelpPlaces);
static_assert(kHelpTopicCount == std::size_t(THelpTopic::IniDatumUhrzeitSetzen) + 1, "one place per topic");

inline constexpr const THelpPlace& HelpPlace(THelpTopic topic) { return kHelpPlaces[std::size_t(topic)]; }
