#include "paramtool/ParamForm.h"

#include <cctype>
#include <climits>

using namespace moxparam;

namespace paramform {

namespace {

constexpr char Axes[3] = {'X', 'Y', 'Z'};

int AxisEntry(std::uint8_t byte, int current)
{
    for (int i = 0; i < 3; ++i)
        if (byte == static_cast<std::uint8_t>(Axes[i])) return i;
    return current;
}

}  // namespace

TParamFields StandardFields()
{
    TParamFields f;
    f.daylyReset = true;
    f.resetHour = 0;
    f.dualSensor = false;
    f.displayLight = true;
    f.digin = false;
    f.printDateTime = true;
    f.dataInterval = 1;
    f.rs232Mode = 1;
    f.analog1Interval = 1025;
    f.analog2Interval = 1025;
    f.analog2Mode = 0;
    f.alarmK = 4;
    for (int k = 0; k < KLimitCount; ++k) f.kLimit[k] = std::to_string(StandardKLimits[k]);
    f.sensor1 = 1;
    f.sensor2 = 0;
    f.korrektur1 = 100;
    f.offset1 = "-82000";
    // Sensor 2 starts as a copy of sensor 1.
    f.korrektur2 = f.korrektur1;
    f.offset2 = f.offset1;
    return f;
}

void Show(const TParamSet& b, TParamFields& f)
{
    f.daylyReset = Flag(b, dayly_reset);
    if (f.daylyReset) f.resetHour = b[reset_hour];
    f.analog1Interval = static_cast<int>(Get16(b, analog1_interval));
    f.alarmK = b[alarm_k];
    f.digin = Flag(b, digin);
    f.dualSensor = Flag(b, dual_sensor);
    f.displayLight = Flag(b, display_light);
    if (b[rs232_mode] < RS232ModeCount) f.rs232Mode = b[rs232_mode];
    f.printDateTime = Flag(b, print_date_time);
    f.korrektur1 = b[korrektur1];
    f.korrektur2 = b[korrektur2];
    f.offset1 = std::to_string(Get32(b, offset1));
    f.offset2 = std::to_string(Get32(b, offset2));
    f.analog2Interval = static_cast<int>(Get16(b, analog2_interval));
    if (b[analog2_mode] < Analog2ModeCount) f.analog2Mode = b[analog2_mode];
    f.dataInterval = b[data_interval];
    for (int k = 0; k < KLimitCount; ++k) f.kLimit[k] = std::to_string(Get16(b, k_limit + 2 * k));
    f.sensor1 = AxisEntry(b[sensor1_axis], f.sensor1);
    f.sensor2 = AxisEntry(b[sensor2_axis], f.sensor2);
}

std::optional<long long> ParseWhole(const std::string& text)
{
    std::size_t i = 0, end = text.size();
    while (i < end && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == end) return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || value > (LLONG_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::optional<TTakeError> Take(const TParamFields& f, TParamSet& b, const TParamFields* unchangedFrom)
{
    // Free-text fields first, so a bad one leaves the buffer as it was.
    long long k[KLimitCount];
    for (int i = 0; i < KLimitCount; ++i) {
        const auto v = ParseWhole(f.kLimit[i]);
        if (!v) return TTakeError{"K" + std::to_string(i), f.kLimit[i]};
        k[i] = *v;
    }
    const auto o1 = ParseWhole(f.offset1);
    if (!o1 || *o1 < INT32_MIN || *o1 > INT32_MAX) return TTakeError{"Offset [nT] (1. Sensor)", f.offset1};
    const auto o2 = ParseWhole(f.offset2);
    if (!o2 || *o2 < INT32_MIN || *o2 > INT32_MAX) return TTakeError{"Offset [nT] (2. Sensor)", f.offset2};

    auto changed = [&](auto TParamFields::*member) { return !unchangedFrom || f.*member != unchangedFrom->*member; };
    auto put8 = [&](auto TParamFields::*member, int index, long long value) {
        if (changed(member)) Put8(b, index, value);
    };
    auto put16 = [&](int TParamFields::*member, int index) {
        if (changed(member)) Put16(b, index, f.*member);
    };
    put8(&TParamFields::daylyReset, dayly_reset, f.daylyReset ? 1 : 0);
    put8(&TParamFields::resetHour, reset_hour, f.resetHour);
    put16(&TParamFields::analog1Interval, analog1_interval);
    put8(&TParamFields::alarmK, alarm_k, f.alarmK);
    put8(&TParamFields::digin, digin, f.digin ? 1 : 0);
    put8(&TParamFields::dualSensor, dual_sensor, f.dualSensor ? 1 : 0);
    put8(&TParamFields::displayLight, display_light, f.displayLight ? 1 : 0);
    if (f.rs232Mode >= 0) put8(&TParamFields::rs232Mode, rs232_mode, f.rs232Mode);
    put8(&TParamFields::printDateTime, print_date_time, f.printDateTime ? 1 : 0);
    put8(&TParamFields::korrektur1, korrektur1, f.korrektur1);
    if (changed(&TParamFields::offset1)) Put32(b, offset1, *o1);
    put16(&TParamFields::analog2Interval, analog2_interval);
    if (f.analog2Mode >= 0) put8(&TParamFields::analog2Mode, analog2_mode, f.analog2Mode);
    put8(&TParamFields::dataInterval, data_interval, f.dataInterval);
    for (int i = 0; i < KLimitCount; ++i)
        if (!unchangedFrom || f.kLimit[i] != unchangedFrom->kLimit[i]) Put16(b, k_limit + 2 * i, k[i]);
    put8(&TParamFields::korrektur2, korrektur2, f.korrektur2);
    if (changed(&TParamFields::offset2)) Put32(b, offset2, *o2);
    if (f.sensor1 >= 0 && f.sensor1 < 3 && changed(&TParamFields::sensor1))
        b[sensor1_axis] = static_cast<std::uint8_t>(Axes[f.sensor1]);
    if (f.sensor2 >= 0 && f.sensor2 < 3 && changed(&TParamFields::sensor2))
        b[sensor2_axis] = static_cast<std::uint8_t>(Axes[f.sensor2]);
    return std::nullopt;
}

std::vector<TFieldNote> Notes(const TParamSet& b, const TParamFields& f)
{
    const std::string kept = " Er wird unverändert an MOX zurückgesendet, solange das Feld nicht geändert wird.";
    std::vector<TFieldNote> notes;
    auto range = [&](TField field, long long value, int low, int high) {
        if (value < low || value > high)
            notes.push_back({field, "MOX meldet " + std::to_string(value) + ", vorgesehen sind " + std::to_string(low) +
                                        " bis " + std::to_string(high) + "." + kept});
    };
    auto hidden = [&](TField field, const std::string& value) {
        notes.push_back({field, "MOX meldet " + value + ", das Feld zeigt einen anderen Wert." + kept});
    };
    auto flag = [&](TField field, int index) {
        if (b[index] > 1) hidden(field, std::to_string(b[index]));
    };
    auto axis = [&](TField field, int index, int entry) {
        if (entry < 0 || entry > 2 || b[index] != static_cast<std::uint8_t>(Axes[entry])) {
            const std::uint8_t c = b[index];
            hidden(field,
                   c >= 0x21 && c <= 0x7E ? "\"" + std::string(1, char(c)) + "\"" : "das Byte " + std::to_string(c));
        }
    };

    flag(TField::DaylyReset, dayly_reset);
    if (f.resetHour != b[reset_hour]) hidden(TField::ResetHour, std::to_string(b[reset_hour]));
    else range(TField::ResetHour, b[reset_hour], 0, 23);
    range(TField::Analog1Interval, Get16(b, analog1_interval), 250, 2000);
    range(TField::AlarmK, b[alarm_k], 1, 9);
    flag(TField::Digin, digin);
    flag(TField::DualSensor, dual_sensor);
    flag(TField::DisplayLight, display_light);
    if (f.rs232Mode != b[rs232_mode]) hidden(TField::RS232Mode, std::to_string(b[rs232_mode]));
    flag(TField::PrintDateTime, print_date_time);
    range(TField::Korrektur1, b[korrektur1], 1, 255);
    range(TField::Analog2Interval, Get16(b, analog2_interval), 250, 2000);
    if (f.analog2Mode != b[analog2_mode]) hidden(TField::Analog2Mode, std::to_string(b[analog2_mode]));
    range(TField::DataInterval, b[data_interval], 1, 120);
    range(TField::Korrektur2, b[korrektur2], 1, 255);
    axis(TField::Sensor1, sensor1_axis, f.sensor1);
    axis(TField::Sensor2, sensor2_axis, f.sensor2);
    return notes;
}

}  // namespace paramform
