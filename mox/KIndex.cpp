// K index: the activity figure of each three-hour block from the range of the readings.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mox/Mm.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kBlockLength = 180;
}  // namespace

std::int32_t& TMOX_Diagram::limit(int n)
{
    std::int32_t* limits[] = {&K0, &K1, &K2, &K3, &K4, &K5, &K6, &K7, &K8};
    return *limits[n];
}

std::int32_t TMOX_Diagram::limit(int n) const { return const_cast<TMOX_Diagram*>(this)->limit(n); }

int TMOX_Diagram::classify(double range) const
{
    if (std::isnan(range)) return -1;
    // Every limit is tested, so unordered limits still give the smallest qualifying class.
    for (int n = 0; n <= 8; ++n)
        if (limit(n) >= range) return n;
    return 9;
}

void TMOX_Diagram::bestimme_K_Wert()
{
    double combined[BlockCount];
    double ranges[CurveCount][BlockCount];
    std::fill(std::begin(combined), std::end(combined), kNaN);
    for (auto& row : ranges) std::fill(std::begin(row), std::end(row), kNaN);
    bool current[CurveCount];
    for (int c = 0; c < CurveCount; ++c) current[c] = of_current_day(c);

    for (int c = 0; c < CurveCount; ++c) {
        if (!loaded[c]) continue;
        for (int b = 0; b < BlockCount; ++b) {
            double lo = kNaN, hi = kNaN;
            for (int i = b * kBlockLength; i < (b + 1) * kBlockLength; ++i) {
                const double v = data[c][i];
                if (std::isnan(v)) continue;
                if (std::isnan(lo)) {
                    lo = hi = v;
                } else {
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            }
            if (std::isnan(lo)) continue;
            ranges[c][b] = hi - lo;
            // The combined range is the largest single-curve range: curves are never mixed.
            if (is_K_curve[c] && current[c] && (std::isnan(combined[b]) || hi - lo > combined[b]))
                combined[b] = hi - lo;
        }
    }
    for (int c = 0; c < CurveCount; ++c)
        for (int b = 0; b < BlockCount; ++b) K_Curve[c][b] = classify(ranges[c][b]);
    for (int b = 0; b < BlockCount; ++b) K_index[b] = classify(combined[b]);
}

bool TMOX_Diagram::of_current_day(int c) const
{
    if (!loaded[c]) return false;
    double newest = -1e300;
    for (int k = 0; k < CurveCount; ++k)
        if (loaded[k]) newest = std::max(newest, std::floor(Header[k].Date));
    return std::floor(Header[c].Date) == newest;
}

int TMOX_Diagram::get_K_Curve(int curve, int block) const
{
    if (!is_valid_curve(curve) || block < 1 || block > BlockCount) return 0;
    return K_Curve[curve - 1][block - 1];
}

int TMOX_Diagram::get_K_index(int block) const
{
    if (block < 1 || block > BlockCount) return 0;
    return K_index[block - 1];
}

void TMOX_Diagram::reset_K_index()
{
    for (auto& k : K_index) k = -1;
}

void TMOX_Diagram::set_K_limit(int n, int value)
{
    if (n < 0 || n > 8 || value < 0) return;
    if (n >= 2 && value < limit(n - 1)) return;
    limit(n) = value;
}

int TMOX_Diagram::get_K_limit(int n) const { return (n < 0 || n > 8) ? 0 : limit(n); }

void TMOX_Diagram::set_is_K_curve(int curve, bool on)
{
    if (is_valid_curve(curve)) is_K_curve[curve - 1] = on;
}

bool TMOX_Diagram::get_is_K_curve(int curve) const { return is_valid_curve(curve) && is_K_curve[curve - 1]; }

int TMOX_Diagram::get_Alarm_threshold() const
{
    // The settings offer 1..9 and the default is 90, so the class number is clamped into
    // the limits rather than switching the alarm off for values the user can choose.
    return limit(std::clamp(Alarmschwelle, 0, 8));
}
