#pragma once
// Basic value types shared by the runtime and the diagram library.
#include <cstdint>

// Colour as 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;

// Days since 30.12.1899; the fraction is the time of day.
using TDateTime = double;

constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }
