// MOX_Ini: sets up the magnetometer's clock and parameter set.
#include "paramtool/Main.h"
#include "widgets/GermanQt.h"

#include <QApplication>

#include "mox/rtl/CommandLine.h"

namespace {

const TCommandLine kCommandLine{"MOX_Ini",
                                "Aufruf: MOX_Ini\n"
                                "Stellt Uhr und Parametersatz des Magnetometers über die serielle Schnittstelle ein.\n"
                                "  --help     diese Hilfe\n"
                                "  --version  die Version\n"
                                "Einstellungsdatei: $MOX_INI, sonst ~/.config/mox/mox.ini.\n",
                                {},
                                0};

}  // namespace

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName(MoxIniTitle);
    QApplication::setApplicationDisplayName(MoxIniTitle);
    TMain Main;
    Main.show();
    return app.exec();
}
