// The station's window, which MOX_View hands the runs with a window to: the viewer, the
// logging station on a display, and the one-shot image in the window's size.
#include <QApplication>
#include <cstdlib>

#include "station/MainWindow.h"
#include "station/app/OneShotImage.h"
#include "station/app/StationStart.h"
#include "station/runtime/QtMessages.h"
#include "station/runtime/StationSignals.h"
#include "widgets/GermanQt.h"

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kStationCommandLine, argc, argv); rc >= 0) return rc;
    RouteQtMessages();
    // Scheduled one-shot runs have no display to open.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName("MOX_View");
    WarnWithoutFonts(stderr);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    TMain main(args);
    OnStationSignals(
        &main, [&main] { main.close(); },
        [&main] {
            if (main.Runtime()) main.Runtime()->RunBatch();
        });
    main.show();
    return app.exec();
}
