#include "station/app/Reports.h"

#include "mox/rtl/BoundedSetting.h"

bool ReportChannel::Tell(const Report& report)
{
    if (report.Text.empty()) {
        Settle(report.Key);
        return false;
    }
    // Settings and file names may hold control characters; shown, they cut nothing short.
    Report shown = report;
    shown.Text = VisibleText(report.Text);
    if (!shown.Key.empty()) {
        auto [it, added] = last.emplace(shown.Key, shown.Text);
        if (!added && it->second == shown.Text) return false;
        it->second = shown.Text;
    }
    for (const Sink& sink : sinks) sink(shown);
    return true;
}

void ReportChannel::Tell(const Reports& reports)
{
    for (const Report& r : reports) Tell(r);
}

void LogReport(const Report& report) { LogMessage(report.Level, report.Text); }
