#pragma once
// What the pointer over the magnetogram tells: which curve it is on and the time and field
// value under it.
#include <string>

#include "mox/rtl/Types.h"

class TMOX_Diagram;

// The highest-numbered loaded curve drawn in `color`, 0 if none.
int CurveAtColor(const TMOX_Diagram& diagram, TColor color);

// "14:05UTC, 23nT" for a point of the last drawing (time in the long time format, value
// rounded half to even); empty where the point maps to no time or no value.
std::string ReadoutText(const TMOX_Diagram& diagram, int x, int y);
