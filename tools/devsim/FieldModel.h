// The magnetic field seen by the simulated sensors, as a pure function of device time, so
// that any speed-up, clock jump or replay gives the same readings for the same moment.
#pragma once

#include <cstdint>

class TFieldModel {
public:
    // stormStart: device time (seconds since 1970) at which a storm begins; used with storm.
    TFieldModel(std::uint64_t seed, bool storm, double stormStart);

    // Field component 'X', 'Y' or 'Z' in nT at device time t (seconds since 1970).
    double Value(char axis, double t) const;

    // The parts, for inspection and tests.
    double Quiet(char axis, double t) const;  // base plus smooth daily variation
    double Noise(char axis, double t) const;  // sensor noise, a few nT, new each second
    double Spike(char axis, double t) const;  // occasional one-minute spikes
    double Steps(char axis, double t) const;  // baseline steps that relax over a day
    double Storm(char axis, double t) const;  // 0 without storm

    static constexpr double SpikesPerDay = 4;
    static constexpr double StepsPerDay = 1;

private:
    double Uniform(std::uint64_t kind, std::int64_t slot, std::uint64_t extra = 0) const;

    std::uint64_t seed_;
    bool storm_;
    double stormStart_;
};
