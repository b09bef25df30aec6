#include "tools/devsim/Device.h"

#include <cmath>
#include <cstdio>
#include <ctime>

using namespace moxparam;

std::string FormatDeviceTime(double t)
{
    const std::time_t s = static_cast<std::time_t>(std::floor(t));
    std::tm tm{};
    gmtime_r(&s, &tm);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

bool ParseDeviceTime(const std::string& text, double& t)
{
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        consumed != static_cast<int>(text.size()))
        return false;
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 59)
        return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    t = static_cast<double>(timegm(&tm));
    return true;
}

TParamSet FactoryParams()
{
    TParamSet p{};
    Put8(p, dayly_reset, 1);
    Put8(p, reset_hour, 0);
    Put16(p, analog1_interval, 1025);
    Put8(p, alarm_k, 4);
    Put8(p, display_light, 1);
    Put8(p, rs232_mode, 1);
    Put8(p, print_date_time, 1);
    Put8(p, korrektur1, 100);
    Put32(p, offset1, -82000);
    Put16(p, analog2_interval, 1025);
    Put8(p, data_interval, 1);
    for (int k = 0; k < KLimitCount; ++k) Put16(p, k_limit + 2 * k, StandardKLimits[k]);
    Put8(p, korrektur2, 100);
    Put32(p, offset2, -82000);
    p[sensor1_axis] = 'Y';
    p[sensor2_axis] = 'X';
    // Firmware bytes: a hardware revision and a serial number the tool must pass through.
    p[reserved19] = 0x2A;
    const std::uint8_t firmware[6] = {0x4D, 0x4F, 0x14, 0x03, 0xA5, 0x5A};
    for (int i = 0; i < 6; ++i) p[reserved45 + i] = firmware[i];
    return p;
}

TDevice::TDevice(const TFieldModel& model, const TParamSet& params, bool letters, const TDeviceFaults& faults,
                 const TDeviceClock& clock)
    : model_(model), params_(params), letters_(letters), faults_(faults), clock_(clock)
{
}

int TDevice::Interval() const { return params_[data_interval] == 0 ? 1 : params_[data_interval]; }

char TDevice::Axis(int sensor) const
{
    const std::uint8_t a = params_[sensor == 1 ? sensor1_axis : sensor2_axis];
    if (a == 'X' || a == 'Y' || a == 'Z') return static_cast<char>(a);
    return sensor == 1 ? 'Y' : 'X';
}

// The sensor's characteristic puts the field 82000 nT above zero; slope correction and
// offset bring it back, so the standard set reads the true field.
int TDevice::Reading(int sensor, double t) const
{
    const double raw = model_.Value(Axis(sensor), t) + 82000;
    const int slope = params_[sensor == 1 ? korrektur1 : korrektur2];
    const std::int32_t offset = Get32(params_, sensor == 1 ? offset1 : offset2);
    return static_cast<int>(std::lround(raw * slope / 100.0 + offset));
}

void TDevice::Log(const std::string& text) const
{
    if (OnLog) OnLog(text);
}

std::string TDevice::DataLine(double t)
{
    const int sensors = Flag(params_, dual_sensor) ? 2 : 1;
    int absolute[2] = {0, 0};
    for (int s = 0; s < sensors; ++s) absolute[s] = Reading(s + 1, t);

    // Relative values start from the reading at power-on and, with the daily reset, from the
    // reading at the full hour of the reset.
    bool reset = !referenceSet_ || t < referenceTime_;
    if (Flag(params_, dayly_reset)) {
        const double hour = (params_[reset_hour] % 24) * 3600.0;
        const double lastReset = std::floor((t - hour) / 86400) * 86400 + hour;
        reset = reset || lastReset > referenceTime_;
    }
    if (reset) {
        referenceSet_ = true;
        referenceTime_ = t;
        reference_[0] = Reading(1, t);
        reference_[1] = Reading(2, t);
    }

    // The device's own K index: range of sensor 1 in the running three-hour block.
    const long long block = static_cast<long long>(std::floor(t / 10800));
    if (block != kBlock_) {
        kBlock_ = block;
        kMin_ = kMax_ = absolute[0];
    }
    kMin_ = std::min(kMin_, absolute[0]);
    kMax_ = std::max(kMax_, absolute[0]);
    int k = 9;
    for (int n = 0; n < KLimitCount; ++n)
        if (static_cast<int>(Get16(params_, k_limit + 2 * n)) >= kMax_ - kMin_) {
            k = n;
            break;
        }

    const int mode = params_[rs232_mode] <= 3 ? params_[rs232_mode] : 0;
    std::string line;
    if (Flag(params_, print_date_time)) line = FormatDeviceTime(t) + ":";
    for (int s = 0; s < sensors; ++s) {
        if (letters_) line += std::string(" ") + Axis(s + 1) + ",";
        const int relative = absolute[s] - reference_[s];
        if (mode != 1) line += "  " + std::to_string(absolute[s]);
        if (mode != 0) line += "  " + std::to_string(relative);
    }
    if (mode == 3) line += "  K" + std::to_string(k);
    return line;
}

std::string TDevice::LineBytes(double t)
{
    std::string bytes = "\r" + DataLine(t) + "\n";
    if (!faults_.garbage) return bytes;
    switch (garbageCount_++ % 5) {
    case 0:  // a device message without date
        bytes += "\rMOX: Sensorfehler 17\n";
        break;
    case 1:  // far longer than a line can be
        bytes += "\r" + FormatDeviceTime(t) + ":" + std::string(80, '7') + "\n";
        break;
    case 2:  // line noise outside any frame
        bytes += std::string("\x13\xff\x01 #~\x80\xfe\x11", 9);
        break;
    case 3:  // a date that cannot be
        bytes += "\r32.13.03 25:61:00:  5\n";
        break;
    default:  // a line cut short by the next one
        bytes += "\r" + FormatDeviceTime(t).substr(0, 12);
        break;
    }
    return bytes;
}

bool TDevice::Busy(double realTime) const { return state_ != State::Idle && realTime - lastByte_ < CommandTimeout; }

std::string TDevice::Receive(const std::string& bytes, double realTime)
{
    std::string reply;
    if (state_ != State::Idle && realTime - lastByte_ >= CommandTimeout) {
        Log("Befehl abgebrochen");
        state_ = State::Idle;
    }
    for (const char c : bytes) {
        const std::uint8_t b = static_cast<std::uint8_t>(c);
        lastByte_ = realTime;
        switch (state_) {
        case State::Idle:
            if (b >= 1 && b <= 4) {
                command_ = b;
                payload_.clear();
                state_ = b <= 2 ? State::Payload : State::Trailer1;
            }
            break;
        case State::Payload:
            payload_ += c;
            if (payload_.size() == 3) state_ = State::Trailer1;
            break;
        case State::Trailer1: state_ = b == 0xFF ? State::Trailer2 : State::Idle; break;
        case State::Trailer2:
            state_ = State::Idle;
            if (b == 0x1B) Execute(reply, realTime);
            break;
        case State::WriteData:
            payload_ += c;
            if (payload_.size() == static_cast<std::size_t>(Size)) {
                state_ = State::Idle;
                for (int i = 0; i < Size; ++i) params_[i] = static_cast<std::uint8_t>(payload_[i]);
                std::string echo = payload_;
                if (faults_.badEcho) echo[rs232_mode] ^= 0x01;
                if (!faults_.silent) reply += echo;
                Log("Parametersatz geschrieben");
                if (OnParamsWritten) OnParamsWritten(params_);
            }
            break;
        }
    }
    return reply;
}

void TDevice::Execute(std::string& reply, double realTime)
{
    const double now = clock_.Now(realTime);
    const std::time_t s = static_cast<std::time_t>(std::floor(now));
    std::tm tm{};
    gmtime_r(&s, &tm);
    const auto p = [this](int i) { return static_cast<std::uint8_t>(payload_[i]); };
    switch (command_) {
    case 1:
        tm.tm_hour = p(0);
        tm.tm_min = p(1);
        tm.tm_sec = p(2);
        clock_.Set(static_cast<double>(timegm(&tm)), realTime);
        Log("Uhrzeit gesetzt: " + FormatDeviceTime(clock_.Now(realTime)));
        if (OnClockSet) OnClockSet();
        break;
    case 2:
        tm.tm_mday = p(0);
        tm.tm_mon = p(1) - 1;
        tm.tm_year = 100 + p(2);
        clock_.Set(static_cast<double>(timegm(&tm)) + (now - std::floor(now)), realTime);
        Log("Datum gesetzt: " + FormatDeviceTime(clock_.Now(realTime)));
        if (OnClockSet) OnClockSet();
        break;
    case 3: {
        Log("Parametersatz gelesen");
        if (faults_.silent) break;
        const std::string copy(params_.begin(), params_.end());
        reply += copy;
        if (faults_.oneCopy) break;
        std::string second = copy;
        if (faults_.badCopy) second[offset1 + 3] ^= 0x10;
        reply += second;
        break;
    }
    case 4:
        payload_.clear();
        state_ = State::WriteData;
        break;
    }
}
