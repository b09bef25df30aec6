#include "station/app/SilenceWatch.h"

#include <algorithm>
#include <vector>

#include "station/app/ServiceStatus.h"

namespace {

constexpr double kMinimumSeconds = 120;
// The device sends at most every 120 s; until its gap is known, allow three of those.
constexpr double kUnknownGapSeconds = 120;
constexpr std::size_t kGapsKept = 15;

}  // namespace

SilenceWatch::SilenceWatch(int configuredSeconds) : configured(configuredSeconds) {}

void SilenceWatch::Listen(double mono, time_t wall)
{
    listening = true;
    lastLine = -1;        // a gap across a pause says nothing about the device
    if (alarmed) return;  // keeps telling since when nothing came
    since = mono;
    sinceWall = wall;
}

void SilenceWatch::Stop()
{
    listening = false;
    alarmed = false;
    lastLine = -1;
}

bool SilenceWatch::Line(double mono, time_t wall)
{
    if (lastLine >= 0) {
        gaps.push_back(mono - lastLine);
        if (gaps.size() > kGapsKept) gaps.pop_front();
    }
    lastLine = mono;
    since = mono;
    sinceWall = wall;
    const bool ended = alarmed;
    alarmed = false;
    return ended;
}

double SilenceWatch::LimitSeconds() const
{
    if (configured > 0) return configured;
    double usual = kUnknownGapSeconds;
    if (!gaps.empty()) {
        // The median: one long gap (a reconnect) or a burst does not move it.
        std::vector<double> sorted(gaps.begin(), gaps.end());
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        usual = sorted[sorted.size() / 2];
    }
    return std::max(kMinimumSeconds, 3 * usual);
}

SilenceWatch::Action SilenceWatch::Check(double mono)
{
    if (!listening || mono - since < LimitSeconds()) return Action::None;
    // The next reopen waits another silence time; the observer's time stays the last line's.
    const time_t wall = sinceWall;
    const bool first = !alarmed;
    alarmed = true;
    since = mono;
    sinceWall = wall;
    return first ? Action::Raise : Action::Reopen;
}

std::string SilenceWatch::AlarmText() const { return "Keine Daten seit " + UtcTime(sinceWall, false) + " UTC"; }
