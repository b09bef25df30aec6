#pragma once
// The ranges of the diagram's numeric settings that the station and the browser share: what
// the settings dialogs let the observer enter, or what the drawing can make sense of.
#include "mox/rtl/BoundedSetting.h"

inline constexpr IntRange kColorRange{0, 0xFFFFFF};
inline constexpr IntRange kKLimitRange{0, 999};  // three digits in the dialog
// The limit of K n from 2 on may not lie below the one of K n-1 (the diagram refuses it), so
// a value below is told and replaced by that one, the value then used.
inline constexpr IntRange KLimitRange(int n, int previousLimit)
{
    return {n >= 2 ? previousLimit : kKLimitRange.Min, kKLimitRange.Max};
}
inline constexpr IntRange kScaleRange{0, 6};        // scale60 .. scale1000
inline constexpr IntRange kLegendStyleRange{0, 8};  // legBETREIBER .. legKOORD
// K levels 1..9 as the dialog offers them; 90, the default of a file without the key, means
// "no alarm level" and stays possible only that way.
inline constexpr IntRange kAlarmLevelRange{1, 9};
inline constexpr IntRange kOffsetFilterRange{5, 100};  // nT
inline constexpr IntRange kSensorRange{0, 3};          // vecBx .. vecB (3 is ignored)
// Window positions and sizes: X11 counts in 16 bits; a window beyond an 8K screen would only
// make a picture buffer no machine of the station's size can hold.
inline constexpr IntRange kWindowPosRange{-32768, 32767};
inline constexpr IntRange kWindowWidthRange{400, 7680};
inline constexpr IntRange kWindowHeightRange{300, 4320};
