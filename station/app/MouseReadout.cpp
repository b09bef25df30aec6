#include "station/app/MouseReadout.h"

#include <cmath>

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

int CurveAtColor(const TMOX_Diagram& diagram, TColor color)
{
    for (int c = 4; c >= 1; --c)
        if (diagram.is_loaded(c) && diagram.get_Color(c) == color) return c;
    return 0;
}

std::string ReadoutText(const TMOX_Diagram& diagram, int x, int y)
{
    const double t = diagram.get_Time(x);
    const double v = diagram.get_nT(y);
    if (t < 0 || std::isnan(v)) return {};
    return TimeToStr(t) + "UTC, " + IntToStr(RoundHalfEven(v)) + "nT";
}
