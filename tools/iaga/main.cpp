// mox-iaga: IAGA-2002 files into day files and back, for scripts and scheduled jobs.
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "mox/Iaga2002.h"
#include "mox/rtl/IniFile.h"

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

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
                 Angabe gilt der Schlüssel "Code" im Abschnitt [IAGA] der Einstellungsdatei
                 ($MOX_INI, sonst ~/.config/mox/mox.ini)
  --help         dieser Text
  --version      Programmversion

Jede geschriebene Datei wird ausgegeben. Rückgabewert: 0 alles umgewandelt, 1 mindestens eine
Datei nicht umgewandelt (die übrigen werden trotzdem umgewandelt), 2 Aufruffehler.
)";

int Usage(const std::string& message)
{
    std::cerr << "mox-iaga: " << message << "\n" << kHelp << std::flush;
    return kUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return kOk;
        }
        if (a == "--version") {
            std::cout << "mox-iaga " << MOX_VERSION << std::endl;
            return kOk;
        }
    }
    if (args.empty()) return Usage("kein Befehl angegeben");
    const std::string command = args[0];
    if (command != "import" && command != "export") return Usage("unbekannter Befehl '" + command + "'");

    std::string out, code;
    bool codeGiven = false;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* target = a == "--out" ? &out : a == "--code" ? &code : nullptr;
        if (target) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return Usage(a + " braucht einen Wert");
            *target = args[++i];
            codeGiven |= target == &code;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unbekannte Option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return Usage("keine Datei angegeben");
    if (command == "import" && codeGiven) return Usage("--code gilt nur für export");
    if (command == "export") {
        if (!codeGiven) {
            const TIniFile ini(MoxIniPath());
            code = ini.ReadString("IAGA", "Code", "");
            if (code.empty())
                return Usage("kein IAGA-Code: --code ABC angeben oder \"Code\" im Abschnitt [IAGA] von " +
                             ini.FileName() + " eintragen");
            if (!IsValidIagaCode(code))
                return Usage("der Code '" + code + "' in " + ini.FileName() +
                             " ist kein IAGA-Code aus drei Buchstaben oder Ziffern");
        } else if (!IsValidIagaCode(code)) {
            return Usage("'" + code + "' ist kein IAGA-Code aus drei Buchstaben oder Ziffern");
        }
    }

    int result = kOk;
    for (const std::string& file : files) {
        try {
            if (command == "import") {
                for (const std::string& written : ImportIaga2002(file, out)) std::cout << written << '\n';
            } else {
                std::cout << ExportIaga2002(file, code, out) << '\n';
            }
            std::cout.flush();
        } catch (const std::exception& e) {
            // Library messages name the file; a bare system error may not.
            const std::string what = e.what();
            std::cerr << "mox-iaga: " << (what.find(file) == std::string::npos ? file + ": " : "")
                      << what << std::endl;
            result = kFailed;
        }
    }
    return result;
}
