#include "convert/ConvertStart.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "convert/ConvertRun.h"
#include "convert/IagaOutput.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"

const TCommandLine kConvertCommandLine{
    "MOX_Convert",
    "Aufruf: MOX_Convert [auto ORDNER [--iaga ZIELORDNER]]\n"
    "Wandelt die Tagesmitschnitte eines Ordners in MOX-Tagesdateien (.mox) um.\n"
    "  ohne Argument  das Fenster\n"
    "  auto ORDNER    ohne Fenster (etwa für cron): veraltete .mox-Dateien erneuern, fehlende\n"
    "                 erzeugen; Ende 0: alles umgewandelt, 1: ein Mitschnitt scheiterte,\n"
    "                 2: Aufruf falsch oder Ordner nicht lesbar\n"
    "  --iaga ZIELORDNER\n"
    "                 mit auto: jeden umgewandelten oder erneuerten Tag auch als\n"
    "                 IAGA-2002-Minutendatei in ZIELORDNER schreiben\n"
    "  --help         diese Hilfe\n"
    "  --version      die Version\n"
    "Einstellungsdatei: $MOX_INI, sonst ~/.config/mox/mox.ini.\n",
    {{"--iaga", true}},
    2};

bool IsAutoRun(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "auto") == 0; }

int RunAutoConversion(int argc, char** argv)
{
    const TIniFile ini(MoxIniPath());
    std::vector<std::string> args(argv + 2, argv + argc);
    std::optional<IagaOutput> iaga;
    std::string error;
    if (!TakeIagaOption(args, ini, iaga, error)) {
        std::cerr << "MOX_Convert: " << error << std::endl;
        return exitUsage;
    }
    const std::string folder = args.empty() ? "" : args[0];
    if (iaga) NotePendingDays(*iaga, folder);
    TMOX_Diagram diagram;
    // A station's folder in a network's archive carries the station's own record.
    ReadHeaderSettings(TIniFile(RecordSettingsFor(folder, MoxIniPath())), diagram);
    const int result = RunUnattended(folder, diagram, std::cout, std::cerr);
    if (!iaga || result == exitUsage) return result;
    return std::max(result, ExportConvertedDays(*iaga, std::cout, std::cerr));
}
