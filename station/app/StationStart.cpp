#include "station/app/StationStart.h"

#include <cstdlib>
#include <cstring>

#include "mox/rtl/SysUtils.h"

const TCommandLine kStationCommandLine{
    "MOX_View",
    "Aufruf: MOX_View [LOG | DATEI [BREITE HÖHE]]\n"
    "Die MOX-Station.\n"
    "  ohne Argument        Betrachter: Tagesdateien ansehen, vergleichen, korrigieren\n"
    "  LOG                  Station: die Datenzeilen des Geräts in Tagesmitschnitte schreiben,\n"
    "                       Magnetogramme und Seiten veröffentlichen\n"
    "  DATEI [BREITE HÖHE]  ein Magnetogramm des Tages von DATEI (Mitschnitt oder .mox) in den\n"
    "                       Bilderordner schreiben und enden, auch ohne Bildschirm\n"
    "  --help               diese Hilfe\n"
    "  --version            die Version\n"
    "Einstellungsdatei: $MOX_INI, sonst ~/.config/mox/mox.ini.\n",
    {},
    3};

bool NoDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform && (!std::strcmp(platform, "offscreen") || !std::strcmp(platform, "minimal"));
    return offscreen || (!platform && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"));
}

bool RunsHeadless(int argc, char** argv) { return argc == 2 && SameText(argv[1], "LOG") && NoDisplay(); }
