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
    if (byte == static_cast<std::uint8_t>(Axes[i]))
      return i;
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
  for (int k = 0; k < KLimitCount; ++k)
    f.kLimit[k] = std::to_string(StandardKLimits[k]);
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
  if (f.daylyReset)
    f.resetHour = b[reset_hour];
  f.analog1Interval = static_cast<int>(Get16(b, analog1_interval));
  f.alarmK = b[alarm_k];
  f.digin = Flag(b, digin);
  f.dualSensor = Flag(b, dual_sensor);
  f.displayLight = Flag(b, display_light);
  if (b[rs232_mode] < RS232ModeCount)
    f.rs232Mode = b[rs232_mode];
  f.printDateTime = Flag(b, print_date_time);
  f.korrektur1 = b[korrektur1];
  f.korrektur2 = b[korrektur2];
  f.offset1 = std::to_string(Get32(b, offset1));
  f.offset2 = std::to_string(Get32(b, offset2));
  f.analog2Interval = static_cast<int>(Get16(b, analog2_interval));
  if (b[analog2_mode] < Analog2ModeCount)
    f.analog2Mode = b[analog2_mode];
  f.dataInterval = b[data_interval];
  for (int k = 0; k < KLimitCount; ++k)
    f.kLimit[k] = std::to_string(Get16(b, k_limit + 2 * k));
  f.sensor1 = AxisEntry(b[sensor1_axis], f.sensor1);
  f.sensor2 = AxisEntry(b[sensor2_axis], f.sensor2);
}

std::optional<long long> ParseWhole(const std::string& text)
{
  std::size_t i = 0, end = text.size();
  while (i < end && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1])))
    --end;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  if (i == end)
    return std::nullopt;
  long long value = 0;
  for (; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i])) || value > (LLONG_MAX - 9) / 10)
      return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<TTakeError> Take(const TParamFields& f, TParamSet& b)
{
  // Free-text fields first, so a bad one leaves the buffer as it was.
  long long k[KLimitCount];
  for (int i = 0; i < KLimitCount; ++i) {
    const auto v = ParseWhole(f.kLimit[i]);
    if (!v)
      return TTakeError{"K" + std::to_string(i), f.kLimit[i]};
    k[i] = *v;
  }
  const auto o1 = ParseWhole(f.offset1);
  if (!o1 || *o1 < INT32_MIN || *o1 > INT32_MAX)
    return TTakeError{"Offset [nT] (1. Sensor)", f.offset1};
  const auto o2 = ParseWhole(f.offset2);
  if (!o2 || *o2 < INT32_MIN || *o2 > INT32_MAX)
    return TTakeError{"Offset [nT] (2. Sensor)", f.offset2};

  Put8(b, dayly_reset, f.daylyReset ? 1 : 0);
  Put8(b, reset_hour, f.resetHour);
  Put16(b, analog1_interval, f.analog1Interval);
  Put8(b, alarm_k, f.alarmK);
  Put8(b, digin, f.digin ? 1 : 0);
  Put8(b, dual_sensor, f.dualSensor ? 1 : 0);
  Put8(b, display_light, f.displayLight ? 1 : 0);
  if (f.rs232Mode >= 0)
    Put8(b, rs232_mode, f.rs232Mode);
  Put8(b, print_date_time, f.printDateTime ? 1 : 0);
  Put8(b, korrektur1, f.korrektur1);
  Put32(b, offset1, *o1);
  Put16(b, analog2_interval, f.analog2Interval);
  if (f.analog2Mode >= 0)
    Put8(b, analog2_mode, f.analog2Mode);
  Put8(b, data_interval, f.dataInterval);
  for (int i = 0; i < KLimitCount; ++i)
    Put16(b, k_limit + 2 * i, k[i]);
  Put8(b, korrektur2, f.korrektur2);
  Put32(b, offset2, *o2);
  if (f.sensor1 >= 0 && f.sensor1 < 3)
    b[sensor1_axis] = static_cast<std::uint8_t>(Axes[f.sensor1]);
  if (f.sensor2 >= 0 && f.sensor2 < 3)
    b[sensor2_axis] = static_cast<std::uint8_t>(Axes[f.sensor2]);
  return std::nullopt;
}

}  // namespace paramform
