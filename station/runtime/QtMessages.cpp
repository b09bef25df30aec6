#include "station/runtime/QtMessages.h"

#include <QString>
#include <QtGlobal>
#include <cstdlib>

#include "lines/StationLog.h"

namespace {

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

void RouteQtMessages() { qInstallMessageHandler(QtMessage); }
