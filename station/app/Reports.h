#pragma once
// The station's one way to tell the observer something. Every part of the station hands its
// reports to one channel; the channel says each matter once and passes the report to its
// sinks: the window (status panel, message box), the service (stderr with the journal's
// priorities), a test (a list to read).
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lines/StationLog.h"

struct Report {
    LogLevel Level = LogLevel::Warning;
    // Empty: the matter of `Key` is settled; the next report under the key is told again.
    std::string Text;
    // The matter the report is about ("port", "image", ...). A report whose key last carried
    // the same text is not told again; an empty key is told every time.
    std::string Key;
    // Worth a message window where there is one, not only a line in the journal.
    bool Box = false;
};
using Reports = std::vector<Report>;

class ReportChannel {
public:
    using Sink = std::function<void(const Report&)>;
    void AddSink(Sink sink) { sinks.push_back(std::move(sink)); }
    // True when the report was passed on.
    bool Tell(const Report& report);
    void Tell(const Reports& reports);
    void Settle(const std::string& key) { last.erase(key); }

private:
    std::map<std::string, std::string> last;  // key -> text last told
    std::vector<Sink> sinks;
};

// The service's sink: every report on stderr, ranked for the journal.
void LogReport(const Report& report);
