// The device's 51-byte parameter set: layout and value coding. Shared by the parameter tool
// and the simulated device, which must agree byte for byte.
#pragma once

#include <array>
#include <cstdint>

namespace moxparam {

constexpr int Size = 51;
using TParamSet = std::array<std::uint8_t, Size>;

// Byte offsets. Multi-byte values are big-endian; two-byte values unsigned, four-byte signed.
enum Index : int {
    dayly_reset = 0,
    reset_hour = 1,
    analog1_interval = 2,  // 2 bytes
    alarm_k = 4,
    digin = 5,
    dual_sensor = 6,
    display_light = 7,
    rs232_mode = 8,
    print_date_time = 9,
    korrektur1 = 10,
    offset1 = 11,           // 4 bytes
    analog2_interval = 15,  // 2 bytes
    analog2_mode = 17,
    data_interval = 18,
    reserved19 = 19,
    k_limit = 20,  // 9 x 2 bytes, K0 first
    korrektur2 = 38,
    offset2 = 39,  // 4 bytes
    sensor1_axis = 43,
    sensor2_axis = 44,
    reserved45 = 45,  // 6 bytes
};

constexpr int KLimitCount = 9;

inline void Put8(TParamSet& p, int i, long long v) { p[i] = static_cast<std::uint8_t>(v & 0xFF); }
inline void Put16(TParamSet& p, int i, long long v)
{
    p[i] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    p[i + 1] = static_cast<std::uint8_t>(v & 0xFF);
}
inline void Put32(TParamSet& p, int i, long long v)
{
    for (int b = 0; b < 4; ++b) p[i + b] = static_cast<std::uint8_t>((v >> (8 * (3 - b))) & 0xFF);
}
inline unsigned Get16(const TParamSet& p, int i) { return (unsigned(p[i]) << 8) | p[i + 1]; }
inline std::int32_t Get32(const TParamSet& p, int i)
{
    const std::uint32_t u = (std::uint32_t(p[i]) << 24) | (std::uint32_t(p[i + 1]) << 16) |
                            (std::uint32_t(p[i + 2]) << 8) | std::uint32_t(p[i + 3]);
    return static_cast<std::int32_t>(u);
}
inline bool Flag(const TParamSet& p, int i) { return p[i] == 1; }  // only 1 counts as yes

inline constexpr int StandardKLimits[KLimitCount] = {10, 15, 25, 50, 90, 152, 225, 370, 600};

}  // namespace moxparam
