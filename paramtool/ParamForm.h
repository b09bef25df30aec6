// What the parameter window shows, apart from the widgets: turning the parameter set into
// field values (Show) and back (Take), and the standard values.
#pragma once

#include "paramtool/ParamSet.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

struct TParamFields {
    bool daylyReset = false;
    int resetHour = 0;
    bool dualSensor = false;
    bool displayLight = false;
    bool digin = false;
    bool printDateTime = false;
    int dataInterval = 1;
    int rs232Mode = -1;  // list entry, -1 = none chosen
    int analog1Interval = 250;
    int analog2Interval = 250;
    int analog2Mode = -1;
    int alarmK = 1;
    std::array<std::string, moxparam::KLimitCount> kLimit;  // free text, as typed
    int sensor1 = -1;                                       // 0 X, 1 Y, 2 Z, -1 none
    int sensor2 = -1;
    int korrektur1 = 1;
    int korrektur2 = 1;
    std::string offset1, offset2;  // free text, as typed

    bool operator==(const TParamFields&) const = default;
};

namespace paramform {

inline constexpr int RS232ModeCount = 4;
inline constexpr int Analog2ModeCount = 2;

// The fields as Default_Button sets them.
TParamFields StandardFields();

// Buffer into fields. Numbers are shown as they are, also outside the range the window
// offers. Fields a byte cannot be shown in (an unknown sensor letter, a mode beyond the list,
// the hour while the daily reset is off) keep their value.
void Show(const moxparam::TParamSet& buffer, TParamFields& fields);

// The fields that can say something about their bytes.
enum class TField {
    DaylyReset,
    ResetHour,
    DualSensor,
    DisplayLight,
    Digin,
    PrintDateTime,
    DataInterval,
    RS232Mode,
    Analog1Interval,
    Analog2Interval,
    Analog2Mode,
    AlarmK,
    Sensor1,
    Sensor2,
    Korrektur1,
    Korrektur2
};

struct TFieldNote {
    TField field;
    std::string text;  // for the observer, German
};

// The fields whose bytes lie outside the range the window offers, or which do not show
// their bytes as they are (as after Show). Such bytes go back unchanged as long as the
// observer leaves the field alone (see Take).
std::vector<TFieldNote> Notes(const moxparam::TParamSet& buffer, const TParamFields& shown);

struct TTakeError {
    std::string field;  // the field's label
    std::string text;   // what it holds
};

// Fields into buffer. A free-text field that is not a whole number in its range stops the
// take before the buffer changes. Bytes 19 and 45..50 are never touched. With `unchangedFrom`
// (the fields as last shown or taken) a field equal to its value there leaves its bytes as
// they are: a byte the observer did not change goes back to the device exactly as read.
std::optional<TTakeError> Take(const TParamFields& fields, moxparam::TParamSet& buffer,
                               const TParamFields* unchangedFrom = nullptr);

// Reads text as a decimal whole number with optional sign, surrounding blanks allowed.
std::optional<long long> ParseWhole(const std::string& text);

}  // namespace paramform
