// The simulated magnetometer without its terminal: clock, parameter set, data lines and
// the command side of the parameter protocol. The caller moves the bytes.
#pragma once

#include "paramtool/ParamSet.h"
#include "tools/devsim/FieldModel.h"

#include <cstdint>
#include <functional>
#include <string>

struct TDeviceFaults {
    bool silent = false;    // sends nothing at all, though it still takes commands
    bool oneCopy = false;   // answers a read with one copy of the set instead of two
    bool badCopy = false;   // the second copy of a read differs in one byte
    bool badEcho = false;   // the echo of a write differs in one byte
    bool garbage = false;   // broken and foreign lines between the data lines
    long hangupAfter = -1;  // bytes sent before the line goes dead once; -1 = never
};

// Device clock: a wall clock in seconds since 1970 (no zone) that runs speed times as fast
// as the real clock it is given.
class TDeviceClock {
public:
    TDeviceClock(double deviceTime, double realTime, double speed) : device_(deviceTime), real_(realTime), speed_(speed)
    {
    }
    double Now(double realTime) const { return device_ + (realTime - real_) * speed_; }
    void Set(double deviceTime, double realTime)
    {
        device_ = deviceTime;
        real_ = realTime;
    }

private:
    double device_, real_, speed_;
};

// "dd.mm.yy hh:mm:ss" of a device time.
std::string FormatDeviceTime(double t);
// Parses "YYYY-MM-DDTHH:MM:SS"; false if it is not such a time.
bool ParseDeviceTime(const std::string& text, double& t);

// The set the simulated device leaves its factory with: the tool's standard values, and
// firmware bytes in the places the tool never writes.
moxparam::TParamSet FactoryParams();

class TDevice {
public:
    TDevice(const TFieldModel& model, const moxparam::TParamSet& params, bool letters, const TDeviceFaults& faults,
            const TDeviceClock& clock);

    const moxparam::TParamSet& Params() const { return params_; }
    double Now(double realTime) const { return clock_.Now(realTime); }
    int Interval() const;  // seconds of device time between two data lines
    const TDeviceFaults& Faults() const { return faults_; }

    // The data line for device time t, without CR and LF. Keeps the relative reference and the
    // running K index of the device up to date, so times should come in order.
    std::string DataLine(double t);
    // The bytes the device sends for the line at t: CR, line, LF, and with the garbage fault
    // something broken after it.
    std::string LineBytes(double t);

    // Takes received bytes at the given real time and returns what the device answers.
    std::string Receive(const std::string& bytes, double realTime);
    // True while a command is under way: the device sends no data lines then.
    bool Busy(double realTime) const;

    std::function<void(const moxparam::TParamSet&)> OnParamsWritten;
    std::function<void()> OnClockSet;
    std::function<void(const std::string&)> OnLog;

    static constexpr double CommandTimeout = 2.0;  // real seconds a half-received command lives

private:
    enum class State { Idle, Payload, Trailer1, Trailer2, WriteData };
    void Execute(std::string& reply, double realTime);
    int Reading(int sensor, double t) const;  // absolute reading of sensor 1 or 2, nT
    char Axis(int sensor) const;
    void Log(const std::string& text) const;

    TFieldModel model_;
    moxparam::TParamSet params_;
    bool letters_;
    TDeviceFaults faults_;
    TDeviceClock clock_;

    State state_ = State::Idle;
    std::uint8_t command_ = 0;
    std::string payload_;
    double lastByte_ = 0;

    bool referenceSet_ = false;
    double referenceTime_ = 0;
    int reference_[2] = {0, 0};
    long long kBlock_ = -1;
    int kMin_ = 0, kMax_ = 0;
    unsigned garbageCount_ = 0;
};
