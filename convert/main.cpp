// MOX_Convert: converts a folder's raw day logs into .mox day files. Without arguments it
// shows its window; "auto <folder>" converts that folder unattended (for cron) and ends
// without opening any window.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "convert/ConvertForm.h"
#include "convert/ConvertRun.h"
#include "mox/Mm.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/IniFile.h"

namespace {

const TCommandLine kCommandLine{
    "MOX_Convert",
    "Aufruf: MOX_Convert [auto ORDNER]\n"
    "Wandelt die Tagesmitschnitte eines Ordners in MOX-Tagesdateien (.mox) um.\n"
    "  ohne Argument  das Fenster\n"
    "  auto ORDNER    ohne Fenster (etwa für cron): veraltete .mox-Dateien erneuern, fehlende\n"
    "                 erzeugen; Ende 0: alles umgewandelt, 1: ein Mitschnitt scheiterte,\n"
    "                 2: Aufruf falsch oder Ordner nicht lesbar\n"
    "  --help         diese Hilfe\n"
    "  --version      die Version\n"
    "Einstellungsdatei: $MOX_INI, sonst ~/.config/mox/mox.ini.\n",
    {},
    2};

}  // namespace

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    if (argc >= 2 && std::strcmp(argv[1], "auto") == 0) {
        TMOX_Diagram diagram;
        ReadHeaderSettings(TIniFile(MoxIniPath()), diagram);
        return RunUnattended(argc >= 3 ? argv[2] : "", diagram, std::cout, std::cerr);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("MOX_Convert");
    TConvertForm form;
    form.show();
    return app.exec();
}
