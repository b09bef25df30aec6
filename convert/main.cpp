// MOX_Convert: converts a folder's raw day logs into .mox day files. Without arguments it
// shows its window; "auto <folder>" converts that folder unattended (for cron) and ends
// without opening any window.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "convert/ConvertForm.h"
#include "convert/ConvertRun.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/GermanQt.h"

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "auto") == 0) {
        TMOX_Diagram diagram;
        ReadHeaderSettings(TIniFile(MoxIniPath()), diagram);
        return RunUnattended(argc >= 3 ? argv[2] : "", diagram, std::cout, std::cerr);
    }
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName("MOX_Convert");
    TConvertForm form;
    form.show();
    return app.exec();
}
