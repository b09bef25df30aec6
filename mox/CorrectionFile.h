#pragma once
// The observer's correction file of a day: "yyyymmdd.kor" beside the day file, one line
// "Bx;hh:mm;value" per correction: the component, the minute after which the value is added
// to the rest of the day, and the value in nT with the desktop's decimal separator.
#include <cstdint>
#include <string>

struct MOX_Header;

// The correction file of the day a curve was loaded from.
std::string CorrectionFileName(const MOX_Header& h);
// "Bx", "By", "Bz": the components that take corrections; null for the total field.
const char* CorrectionComponent(std::uint8_t vector);
// The line that adds `value` to the readings of `vector` from the minute after `minute` (0 is
// 00:00) to the end of the day.
std::string CorrectionLine(std::uint8_t vector, int minute, double value);
// False for a line that cannot be read; a comma or a point is taken as the decimal separator,
// whatever this process's locale. `component` is empty for a total-field line, which applies
// to no curve.
bool ParseCorrectionLine(const std::string& line, std::string& component, int& minute, double& value);
