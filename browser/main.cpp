// MOX_Browser: two day files side by side, reloaded when they change on disk.
#include <QApplication>
#include <cstdio>

#include "browser/MainForm.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/Graphics.h"
#include "widgets/GermanQt.h"

namespace {

const TCommandLine kCommandLine{"MOX_Browser",
                                "Aufruf: MOX_Browser\n"
                                "Zwei MOX-Tagesdateien nebeneinander; eine Datei, die sich ändert, wird neu geladen.\n"
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
    QApplication::setApplicationName("MOX_Browser");
    if (!TextRenderingAvailable())
        std::fprintf(stderr, "MOX_Browser: keine Schrift gefunden (fehlt fonts-liberation?); "
                             "die Diagramme werden ohne Text gezeichnet.\n");
    TMainForm main;
    main.show();
    return app.exec();
}
