// Pixel positions of the last drawing back to time of day and field value.
#include <limits>

#include "mox/Mm.h"
#include "mox/rtl/Graphics.h"
#include "mox/rtl/SysUtils.h"

namespace {
constexpr int kPlotLeft = 45;
}

double TMOX_Diagram::get_Time(int x) const
{
    // Before the first drawing there is no time axis: every column is outside it.
    if (x_scale <= 0.0 || x < kPlotLeft) return -1.0;
    if (x <= RoundHalfEven(1440.0 * x_scale) + kPlotLeft) return (x - kPlotLeft) / (1440.0 * x_scale);
    return -1.0;
}

double TMOX_Diagram::get_nT(int y) const
{
    // Before the first drawing, or without an image, no row maps to a value.
    if (y_scale <= 0.0 || MOX_Image == nullptr) return std::numeric_limits<double>::quiet_NaN();
    const int h = MOX_Image->ClientHeight();
    if (y < 25 || y > h - 30) return std::numeric_limits<double>::quiet_NaN();
    return (h / 2 - y) / y_scale;
}
