#pragma once
// The unattended side of the logging station: the service manager's notifications, the
// silence alarm, the device clock check and the lines that wait for a writable medium. The
// window (shown or headless) feeds it the port's events and the logger's results, tells the
// messages it returns and shows its status; the decisions are made here.
#include <ctime>
#include <string>
#include <vector>

#include "lines/DayLogger.h"
#include "lines/ServiceNotifier.h"
#include "lines/StationLog.h"
#include "station/app/ClockWatch.h"
#include "station/app/ServiceStatus.h"
#include "station/app/SilenceWatch.h"
#include "station/app/StopSpool.h"

struct ServiceSettings {
    int SilenceSeconds = 0;  // 0: automatic
    int ClockToleranceSeconds = 120;
    int RetrySeconds = 3;  // between attempts to reopen a lost port
    // Where lines still waiting at a stop are kept for the next start.
    std::vector<std::string> SpoolFolders = StopSpool::DefaultFolders();
    // How long a stop tries to put waiting lines somewhere when neither the data folder nor a
    // spool folder takes them; well below the service unit's stop timeout (30 s).
    double StopWaitSeconds = 10;
    // A port that opens but has sent no line this long after the start is asked about: most
    // PCs have a /dev/ttyS0 that opens without any device behind it.
    int NoDeviceSeconds = 60;
    std::string Port;          // as the settings name it, for the messages
    std::string SettingsFile;  // where the port is set
};

struct ServiceMessage {
    LogLevel Level;
    std::string Text;
    bool Box;  // also shown to the observer in a message window, not only on stderr
};
using ServiceMessages = std::vector<ServiceMessage>;

class StationService {
public:
    explicit StationService(const ServiceSettings& settings);

    // Logging has begun, with the port open or its opening being retried: the station is ready.
    void Started(bool portOpen, double mono, time_t wall);
    void PortOpened(double mono, time_t wall);
    void PortLost();
    // The observer chose another port; the first-line check starts again with its opening.
    void SetPort(const std::string& port);
    void Paused();
    // The logger has taken a line with this outcome.
    ServiceMessages LineHandled(const std::string& line, DayLogger::Outcome outcome, DayLogger& logger, double mono,
                                time_t wall);
    // About once a second: writes waiting lines, watches for silence. `reopenPort` says the port
    // should be closed and opened again.
    ServiceMessages Tick(DayLogger& logger, double mono, bool& reopenPort);
    // Logging begins: the lines an earlier stop kept are filed before any new line.
    ServiceMessages Restore(DayLogger& logger);
    // The station ends: a last try for waiting lines, then they are kept for the next start;
    // when nothing takes them within StopWaitSeconds, what is lost is told.
    ServiceMessages Stopping(DayLogger& logger);

    // A part of the status from elsewhere (the publisher's backlog, for one).
    void SetStatusPart(ServiceStatus::Part part, const std::string& text);
    const ServiceStatus& Status() const { return status; }
    // Something needs the observer: silence, a wrong device clock, lines waiting.
    bool Alarm() const;
    ServiceNotifier& Notifier() { return notifier; }

private:
    void Notices(DayLogger& logger, ServiceMessages& out);
    void StorageState(DayLogger& logger, ServiceMessages& out);
    void Publish();
    // Where the observer changes the port.
    std::string PortAdvice() const;

    ServiceSettings settings;
    ServiceNotifier notifier;
    ServiceStatus status;
    SilenceWatch silence;
    ClockWatch clock;
    StopSpool spool;
    bool restoredWaiting = false;  // lines from the spool wait in the logger
    time_t lastLine = 0;
    bool listening = false;
    bool anyLine = false;  // a line came since the start
    double openedAt = -1;  // steady clock of the opening the first line is awaited from
    bool noDeviceTold = false;
    // Lines wait for the medium; the count of lines given up before this began.
    bool storageTrouble = false;
    std::size_t droppedBefore = 0;
    bool droppedTold = false;
};
