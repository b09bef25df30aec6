#include "tools/devsim/FieldModel.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int AxisIndex(char axis) { return axis == 'X' ? 0 : axis == 'Y' ? 1 : 2; }

// Mid-European values of the three components and how strongly each takes part in the
// daily variation, disturbances and storms.
constexpr double Base[3] = {20800, 1450, 44100};
constexpr double Daily1[3] = {-18, 22, -9};  // 24-hour wave, nT
constexpr double Daily2[3] = {7, -6, 4};     // 12-hour wave, nT
constexpr double Share[3] = {1.0, 0.75, -0.5};

}  // namespace

TFieldModel::TFieldModel(std::uint64_t seed, bool storm, double stormStart)
    : seed_(seed), storm_(storm), stormStart_(stormStart)
{
}

double TFieldModel::Uniform(std::uint64_t kind, std::int64_t slot, std::uint64_t extra) const
{
    const std::uint64_t h = Mix(Mix(Mix(seed_ ^ (kind << 56)) ^ static_cast<std::uint64_t>(slot)) ^ extra);
    return static_cast<double>(h >> 11) / 9007199254740992.0;  // [0, 1)
}

double TFieldModel::Quiet(char axis, double t) const
{
    const int a = AxisIndex(axis);
    const double hour = std::fmod(t, 86400.0) / 3600.0;
    const double day = std::floor(t / 86400.0);
    // Quiet days differ a little from one another.
    const double strength = 0.8 + 0.4 * Uniform(1, static_cast<std::int64_t>(day));
    const double wave =
        Daily1[a] * std::cos(2 * Pi * (hour - 12.5) / 24) + Daily2[a] * std::cos(4 * Pi * (hour - 10.0) / 24);
    return Base[a] + strength * wave;
}

double TFieldModel::Noise(char axis, double t) const
{
    const std::int64_t second = static_cast<std::int64_t>(std::floor(t));
    const double u1 = Uniform(2, second, AxisIndex(axis));
    const double u2 = Uniform(3, second, AxisIndex(axis));
    return 1.5 * std::sqrt(-2 * std::log(1 - u1)) * std::cos(2 * Pi * u2);
}

double TFieldModel::Spike(char axis, double t) const
{
    const std::int64_t minute = static_cast<std::int64_t>(std::floor(t / 60));
    if (Uniform(4, minute) >= SpikesPerDay / 1440) return 0;
    const double size = 30 + 90 * Uniform(5, minute);
    const double sign = Uniform(6, minute) < 0.5 ? -1 : 1;
    return sign * size * std::fabs(Share[AxisIndex(axis)]);
}

double TFieldModel::Steps(char axis, double t) const
{
    // A step starts somewhere in an hour and relaxes with a time constant of 12 hours; after
    // three days it is gone, so only the last 72 hours are looked at.
    const std::int64_t hour = static_cast<std::int64_t>(std::floor(t / 3600));
    double sum = 0;
    for (std::int64_t h = hour - 71; h <= hour; ++h) {
        if (Uniform(7, h) >= StepsPerDay / 24) continue;
        const double start = h * 3600.0 + 3600 * Uniform(8, h);
        if (t < start) continue;
        const double size = (Uniform(9, h) < 0.5 ? -1 : 1) * (10 + 30 * Uniform(10, h));
        sum += size * std::exp(-(t - start) / 43200);
    }
    return sum * std::fabs(Share[AxisIndex(axis)]);
}

double TFieldModel::Storm(char axis, double t) const
{
    if (!storm_ || t < stormStart_) return 0;
    const double dt = t - stormStart_;
    // Sudden commencement, a main phase some 400 nT deep within hours, strong fluctuations,
    // and a recovery over half a day.
    const double commencement = 35 * std::exp(-dt / 1800);
    const double main = -420 * (1 - std::exp(-dt / 5400)) * std::exp(-std::fmax(0.0, dt - 4 * 3600) / 36000);
    const double envelope = std::exp(-dt / 21600);
    const double fluctuation = envelope * (70 * std::sin(2 * Pi * dt / 1500) * std::sin(2 * Pi * dt / 7000 + 1) +
                                           25 * std::sin(2 * Pi * dt / 420 + 2));
    return Share[AxisIndex(axis)] * (commencement + main + fluctuation);
}

double TFieldModel::Value(char axis, double t) const
{
    return Quiet(axis, t) + Noise(axis, t) + Spike(axis, t) + Steps(axis, t) + Storm(axis, t);
}
