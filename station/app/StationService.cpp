#include "station/app/StationService.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "station/app/StationSettings.h"

namespace {

std::string Lines(std::size_t n) { return std::to_string(n) + (n == 1 ? " Zeile" : " Zeilen"); }

// The verb after Lines(n): "konnte"/"konnten", "geht"/"gehen".
std::string Verb(std::size_t n, const char* one, const char* more) { return n == 1 ? one : more; }

}  // namespace

StationService::StationService(const ServiceSettings& s)
    : settings(s), silence(s.SilenceSeconds), clock(s.ClockToleranceSeconds), spool(s.SpoolFolders)
{
}

void StationService::Publish() { notifier.Status(status.Text()); }

bool StationService::Alarm() const
{
    return silence.Alarmed() || clock.Off() || !status.Get(ServiceStatus::Part::Storage).empty();
}

void StationService::SetStatusPart(ServiceStatus::Part part, const std::string& text)
{
    status.Set(part, text);
    Publish();
}

void StationService::Started(bool portOpen, double mono, time_t wall)
{
    if (portOpen) PortOpened(mono, wall);
    else PortLost();
    notifier.Ready();
}

void StationService::SetPort(const std::string& port)
{
    if (port == settings.Port) return;
    settings.Port = port;
    noDeviceTold = false;
}

std::string StationService::PortAdvice() const
{
    return "Der Port ist im Menü Loggen unter Log-Einstellungen... oder in der Einstellungsdatei " +
           settings.SettingsFile + " unter [COM-Port] Port= einzustellen.";
}

void StationService::PortOpened(double mono, time_t wall)
{
    if (!anyLine) openedAt = mono;
    listening = true;
    silence.Listen(mono, wall);
    status.Set(ServiceStatus::Part::Connection, LoggingText(lastLine));
    Publish();
}

void StationService::PortLost()
{
    listening = false;
    silence.Stop();
    status.Set(ServiceStatus::Part::Connection, DisconnectedText(settings.RetrySeconds));
    status.Set(ServiceStatus::Part::Silence, "");
    Publish();
}

void StationService::Paused()
{
    listening = false;
    silence.Stop();
    status.Set(ServiceStatus::Part::Connection, PausedText());
    status.Set(ServiceStatus::Part::Silence, "");
    Publish();
}

ServiceMessages StationService::LineHandled(const std::string& line, DayLogger::Outcome outcome, DayLogger& logger,
                                            double mono, time_t wall)
{
    ServiceMessages out;
    Notices(logger, out);
    if (outcome == DayLogger::Outcome::Logged || outcome == DayLogger::Outcome::Failed) {
        lastLine = wall;
        anyLine = true;
        if (silence.Line(mono, wall)) {
            out.push_back({LogLevel::Info, "Wieder Daten vom Gerät (" + UtcTime(wall) + " UTC).", false});
            status.Set(ServiceStatus::Part::Silence, "");
        }
        if (listening) status.Set(ServiceStatus::Part::Connection, LoggingText(lastLine));
        const ClockWatch::Change change = clock.Line(line, wall);
        if (change == ClockWatch::Change::Off) {
            out.push_back({LogLevel::Warning, clock.Text(), true});
        } else if (change == ClockWatch::Change::Back) {
            out.push_back({LogLevel::Info, clock.Text(), true});
        }
        status.Set(ServiceStatus::Part::Clock, clock.Off() ? "Uhr des Geräts falsch" : "");
    }
    StorageState(logger, out);
    Publish();
    return out;
}

void StationService::Notices(DayLogger& logger, ServiceMessages& out)
{
    for (DayLogger::Notice& n : logger.TakeNotices()) {
        // The default folder of a new station is made without asking; a folder the observer
        // named and which was missing is worth a word.
        const bool own = n.kind == DayLogger::Notice::Kind::FolderCreated && logger.DataDir() == DefaultDataDir();
        out.push_back({own ? LogLevel::Info : LogLevel::Warning, n.text, !own});
    }
}

void StationService::StorageState(DayLogger& logger, ServiceMessages& out)
{
    const std::size_t waiting = logger.Waiting(), dropped = logger.Dropped();
    if (waiting > 0 && !storageTrouble) {
        storageTrouble = true;
        droppedBefore = dropped;
        droppedTold = false;
        out.push_back({LogLevel::Error,
                       "Die Zeilen können nicht geschrieben werden (" + logger.Error() +
                           "). Sie warten im Speicher und werden geschrieben, sobald es wieder geht.",
                       true});
    } else if (waiting == 0 && storageTrouble) {
        storageTrouble = false;
        std::string text = "Alle wartenden Zeilen sind geschrieben.";
        if (const std::size_t lost = dropped - droppedBefore; lost > 0)
            text += " " + Lines(lost) + (lost == 1 ? " ging" : " gingen") + " verloren.";
        out.push_back({dropped > droppedBefore ? LogLevel::Warning : LogLevel::Info, text, false});
    }
    if (storageTrouble && dropped > droppedBefore && !droppedTold) {
        droppedTold = true;
        out.push_back(
            {LogLevel::Error, "Der Speicher für wartende Zeilen ist voll: die ältesten Zeilen gehen verloren.", true});
    }
    status.Set(ServiceStatus::Part::Storage,
               storageTrouble ? WaitingText(waiting, logger.MediumFull(), dropped - droppedBefore) : "");
}

ServiceMessages StationService::Tick(DayLogger& logger, double mono, bool& reopenPort)
{
    ServiceMessages out;
    reopenPort = false;
    if (logger.Waiting() > 0) logger.Retry();
    if (restoredWaiting && logger.Waiting() == 0) {
        spool.Clear();
        restoredWaiting = false;
    }
    switch (silence.Check(mono)) {
    case SilenceWatch::Action::Raise:
        out.push_back(
            {LogLevel::Warning,
             silence.AlarmText() + " von " + settings.Port + "; die Schnittstelle wird neu geöffnet. " + PortAdvice(),
             false});
        status.Set(ServiceStatus::Part::Silence, silence.AlarmText() + " von " + settings.Port);
        reopenPort = true;
        break;
    case SilenceWatch::Action::Reopen: reopenPort = true; break;
    case SilenceWatch::Action::None: break;
    }
    if (listening && !anyLine && !noDeviceTold && openedAt >= 0 && mono - openedAt >= settings.NoDeviceSeconds) {
        noDeviceTold = true;
        out.push_back({LogLevel::Warning,
                       "Seit dem Öffnen vor " + std::to_string(settings.NoDeviceSeconds) +
                           " s kam keine Zeile: kein Gerät an " + settings.Port + "? " + PortAdvice(),
                       true});
    }
    Notices(logger, out);
    StorageState(logger, out);
    Publish();
    return out;
}

ServiceMessages StationService::Restore(DayLogger& logger)
{
    ServiceMessages out;
    const std::vector<std::string> lines = spool.Load();
    if (lines.empty()) return out;
    logger.Restore(lines);
    if (logger.Waiting() > 0) logger.Retry();
    out.push_back(
        {LogLevel::Info, Lines(lines.size()) + " vom letzten Beenden werden vor den neuen Zeilen abgelegt.", false});
    restoredWaiting = logger.Waiting() > 0;
    if (!restoredWaiting) spool.Clear();
    StorageState(logger, out);
    return out;
}

ServiceMessages StationService::Stopping(DayLogger& logger)
{
    using Clock = std::chrono::steady_clock;
    ServiceMessages out;
    notifier.Stopping();
    // Lines written but not yet on the medium wait again when their sync fails; from here on
    // every sync is waited for, so that no line is left neither safe nor waiting.
    logger.SyncInForeground();
    logger.Sync();
    if (logger.Waiting() > 0) logger.Retry();
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::llround(settings.StopWaitSeconds * 1000));
    for (;;) {
        if (logger.Waiting() == 0) {
            if (restoredWaiting) spool.Clear();
            return out;
        }
        if (spool.Save(logger.WaitingLines())) {
            out.push_back({LogLevel::Warning,
                           Lines(logger.Waiting()) + " " + Verb(logger.Waiting(), "konnte", "konnten") +
                               " beim Beenden nicht abgelegt werden (" + logger.Error() + "); sie sind in " +
                               spool.SavedTo() + " und werden beim nächsten Start abgelegt.",
                           false});
            logger.DropWaiting();
            return out;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(500), deadline - Clock::now()));
        logger.Retry();
    }
    out.push_back({LogLevel::Error,
                   Lines(logger.Waiting()) + " " + Verb(logger.Waiting(), "geht", "gehen") +
                       " beim Beenden verloren: weder das Datenverzeichnis (" + logger.Error() +
                       ") noch ein Ausweichort (" + spool.Error() + ") nahm sie in " +
                       std::to_string(std::lround(settings.StopWaitSeconds)) + " s auf.",
                   false});
    return out;
}
