// MOX_View: the station program. No argument: viewer; "LOG": logging station; a raw log file
// with optional width and height: one image, then the program ends.
#include <QApplication>
#include <cstdlib>

#include "station/MainWindow.h"

int main(int argc, char** argv)
{
    // Scheduled one-shot runs and headless stations have no display to open.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("MOX-View");
    QStringList args = QApplication::arguments();
    args.removeFirst();
    TMain main(args);
    main.show();
    return app.exec();
}
