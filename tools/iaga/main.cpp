// mox-iaga: IAGA-2002 files into day files and back, for scripts and scheduled jobs.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "mox/Iaga2002.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

namespace {

constexpr int kOk = 0, kFailed = 1;

const char* const kHelp = R"(Aufruf:
  mox-iaga import DATEI... [--out ORDNER]
  mox-iaga export DATEI.mox... [--code ABC] [--out ORDNER]

import  wandelt IAGA-2002-Dateien (Minuten- oder Sekundenwerte, ein oder mehrere UT-Tage) in
        Tagesdateien um: eine Datei je UT-Tag, benannt nach dem IAGA-Code in Kleinbuchstaben
        und dem Datum (bou20141101.mox), mit Bx, By, Bz und B als Minutenmittel.
        Dateien mit den Elementen XYZ, HDZ (D in Bogenminuten) oder HEZ werden umgerechnet;
        Dateien ohne waagrechtes Komponentenpaar (etwa UVW) werden abgelehnt.
export  schreibt Tagesdateien (.mox, TYPE 1, 2 oder 4) als IAGA-2002-Minutendateien der
        Variationen (plv20261208vmin.min): X = Bx, Y = By, Z = Bz, F = B.

Optionen:
  --out ORDNER   Zielordner (wird angelegt); ohne Angabe der Ordner der Eingabedatei
  --code ABC     IAGA-Code der Station (drei Buchstaben oder Ziffern) für export; ohne
                 Angabe gilt für Tagesdateien im Ordner einer Station eines Archivs der
                 Code aus deren Stationsdaten (station.ini), sonst der Schlüssel "Code" im
                 Abschnitt [IAGA] der Einstellungsdatei ($MOX_INI, sonst ~/.config/mox/mox.ini)
  --help         dieser Text
  --version      Programmversion

Jede geschriebene Datei wird ausgegeben. Rückgabewert: 0 alles umgewandelt, 1 mindestens eine
Datei nicht umgewandelt (die übrigen werden trotzdem umgewandelt), 2 Aufruffehler.
)";

const TCommandLine kCommandLine{"mox-iaga", kHelp, {{"--out", true}, {"--code", true}}, 1 << 20};

}  // namespace

int main(int argc, char** argv)
{
    TCommandLineWords words;
    if (const int rc = ParseCommandLine(kCommandLine, argc, argv, words); rc >= 0) return rc;
    auto usage = [](const std::string& complaint) { return CommandLineError(kCommandLine, complaint); };
    if (words.Arguments.empty()) return usage("kein Befehl angegeben");
    const std::string command = words.Arguments[0];
    if (command != "import" && command != "export") return usage("unbekannter Befehl '" + command + "'");
    const std::vector<std::string> files(words.Arguments.begin() + 1, words.Arguments.end());
    const std::string out = words.Value("--out");
    const std::string code = words.Value("--code");
    if (files.empty()) return usage("keine Datei angegeben");
    if (command == "import" && words.Has("--code")) return usage("--code gilt nur für export");
    // Each day file under its own station's code: the archive's folders keep their station's.
    std::vector<std::string> codes(files.size(), code);
    if (command == "export") {
        if (!words.Has("--code")) {
            const TIniFile local(MoxIniPath());
            for (std::size_t i = 0; i < files.size(); ++i) {
                std::string problem;
                codes[i] = FolderIagaCode(ExtractFilePath(files[i]), local, problem);
                if (codes[i].empty()) return usage(problem + "; oder --code ABC angeben");
            }
        } else if (!IsValidIagaCode(code)) {
            return usage("'" + code + "' ist kein IAGA-Code aus drei Buchstaben oder Ziffern");
        }
    }

    int result = kOk;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        try {
            if (command == "import") {
                for (const std::string& written : ImportIaga2002(file, out)) std::cout << written << '\n';
            } else {
                std::cout << ExportIaga2002(file, codes[i], out) << '\n';
            }
            std::cout.flush();
        } catch (const std::exception& e) {
            // Library messages name the file; a bare system error may not.
            const std::string what = e.what();
            std::cerr << "mox-iaga: " << (what.find(file) == std::string::npos ? file + ": " : "") << what << std::endl;
            result = kFailed;
        }
    }
    return result;
}
