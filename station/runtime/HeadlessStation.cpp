#include "station/runtime/HeadlessStation.h"

#include <QCoreApplication>

#include "mox/Mm.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/OneShotImage.h"
#include "station/runtime/SerialLinePort.h"
#include "station/runtime/StationRuntime.h"
#include "station/runtime/StationSignals.h"

int RunHeadlessStation(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("MOX_View");
    UseStationFormats();
    WarnWithoutFonts(stderr);
    ReportChannel reports;
    reports.AddSink(LogReport);
    SendSettingNotesTo([&reports](const std::string& note) { reports.Tell({LogLevel::Warning, note, "", false}); });
    TIniFile ini(MoxIniPath());
    ini.OnWriteFailed = [&reports](const std::string& problem) {
        reports.Tell({LogLevel::Warning, "Die Einstellungen wurden nicht gespeichert: " + problem, "settings-write"});
    };
    TMOX_Diagram diagram;
    // Settings out of range are told by the reader itself.
    const StationSettings settings = ReadStationSettings(ini, diagram, true);
    StationRuntime runtime(ini, diagram, settings, std::make_unique<SerialLinePort>(), reports);
    OnStationSignals(
        &app,
        [&runtime] {
            runtime.Stop();
            QCoreApplication::quit();
        },
        [&runtime] { runtime.RunBatch(); });
    runtime.Start();
    const int rc = app.exec();
    SendSettingNotesTo(nullptr);
    return rc;
}
