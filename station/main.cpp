// MOX_View: the station program. No argument: viewer; "LOG": logging station; a raw log file
// with optional width and height: one image, then the program ends.
#include <QApplication>
#include <cstdlib>
#include <optional>

#include "lines/StationLog.h"
#include "mox/rtl/CommandLine.h"
#include "station/MainWindow.h"
#include "station/app/OneShotImage.h"
#include "station/runtime/HeadlessStation.h"
#include "station/runtime/StopSignals.h"
#include "widgets/GermanQt.h"

namespace {

// Qt's own warnings take the station's way to stderr too, so that the journal ranks them.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const LogLevel level = type == QtCriticalMsg || type == QtFatalMsg ? LogLevel::Error
                           : type == QtWarningMsg                      ? LogLevel::Warning
                                                                       : LogLevel::Info;
    // The headless platform's note on every window is nothing an observer can act on.
    if (text.contains("propagateSizeHints")) return;
    LogMessage(level, "Qt meldet: " + text.toStdString());
    if (type == QtFatalMsg) std::abort();
}

}  // namespace

const TCommandLine kCommandLine{
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

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    qInstallMessageHandler(QtMessage);
    if (const std::optional<int> result = RunOneShotWithoutWindow(argc, argv)) return *result;
    if (argc == 2 && QString(argv[1]).compare("LOG", Qt::CaseInsensitive) == 0 && NoDisplay())
        return RunHeadlessStation(argc, argv);
    // Scheduled one-shot runs and headless stations have no display to open.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName("MOX_View");
    WarnWithoutFonts(stderr);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    TMain main(args);
    OnStopSignals(&main, [&main] { main.close(); });
    main.show();
    return app.exec();
}
