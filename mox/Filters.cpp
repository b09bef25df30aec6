// Repairs applied while a curve loads: the observer's correction file, the noise filter and
// the offset filter, in that order.
#include <algorithm>
#include <array>
#include <cmath>

#include "mox/CorrectionFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

void TMOX_Diagram::use_korr_file(int curve)
{
    MOX_Header& h = Header[curve - 1];
    korr_errors[curve - 1].clear();
    const std::string name = CorrectionFileName(h);
    h.is_korr_file = FileExists(name);
    if (!Korrektur || !h.is_korr_file) return;

    TextReader in;
    if (!in.Open(name)) return;
    const char* own = CorrectionComponent(h.Vector);
    double* r = data[curve - 1];
    std::string line, component;
    int minute;
    double value;
    while (in.ReadLine(line)) {
        if (line.empty()) continue;
        // A line that cannot be read is skipped and reported: one typing error must not
        // hide the whole day's curve.
        if (!ParseCorrectionLine(line, component, minute, value)) {
            korr_errors[curve - 1] += name + ", Zeile " + IntToStr(in.LineNumber()) + ": " + line + "\n";
            continue;
        }
        if (!own || component != own || minute > 1438) continue;
        // From the minute after the given time to the end of the day.
        for (int i = minute + 2; i <= DayLength; ++i) r[i - 1] += value;
    }
}

std::string TMOX_Diagram::get_korr_errors(int curve) const
{
    return is_valid_curve(curve) ? korr_errors[curve - 1] : std::string();
}

void TMOX_Diagram::noise_filter(int curve)
{
    double* r = data[curve - 1];
    std::array<double, 7> window;
    for (int i = 4; i <= 1437; ++i) {
        // The left half of the window holds readings already filtered in this pass.
        std::size_t n = 0;
        double sum = 0.0;
        for (int k = i - 3; k <= i + 3; ++k) {
            const double v = r[k - 1];
            if (std::isnan(v)) continue;
            window[n++] = v;
            sum += v;
        }
        if (n == 0 || std::isnan(r[i - 1])) continue;
        for (std::size_t a = 1; a < n; ++a)  // insertion sort: at most seven entries
            for (std::size_t b = a; b > 0 && window[b - 1] > window[b]; --b) std::swap(window[b - 1], window[b]);
        if (std::fabs(window[0] - window[n - 1]) > 20.0) r[i - 1] = window[n / 2];
        else r[i - 1] = double(RoundHalfEven(sum / double(n)));
    }
}

void TMOX_Diagram::offset_filter(int curve)
{
    double* r = data[curve - 1];
    const double L = Offsetfilter_limit;
    for (int i = 2; i <= 1438; ++i) {
        const double before = r[i - 2], now = r[i - 1], later = r[i + 1];
        if (std::isnan(before) || std::isnan(now) || std::isnan(later)) continue;
        const double d = now - before;
        // A jump that the reading two minutes later confirms as the new level.
        if (std::fabs(d) > L && std::fabs(now - later) < L)
            for (int k = i; k <= DayLength; ++k) r[k - 1] -= d;
    }
}
