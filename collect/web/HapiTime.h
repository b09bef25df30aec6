#pragma once
// Times of the web face: HAPI's restricted ISO 8601 in, seconds since 1970 (UTC) out, and
// the device's "dd.mm.yy hh:mm:ss" stamps. Qt-free and locale-free.
#include <cstdint>
#include <optional>
#include <string>

// "2026-12-08", "2026-342", "2026-12-08T10", "...T10:15", "...T10:15:30", "...T10:15:30.5"
// each with or without the closing "Z"; also "2026Z". Seconds since 1970; a fraction rounds
// up to the next whole second: the archive's lines carry whole seconds, and a start or stop
// of 10:15:30.5 must take the line of 10:15:31 as its first, or not take it. Nothing for any
// other text or an impossible date such as 2026-02-30; "T24:00" is the next day's midnight.
std::optional<std::int64_t> ParseHapiTime(const std::string& text);

// "2026-12-08T10:15:30Z".
std::string FormatHapiTime(std::int64_t seconds);

// Seconds since 1970 of a device line "dd.mm.yy hh:mm:ss..." (years 2000 to 2099, as the
// station files them); nothing for a line without a valid stamp.
std::optional<std::int64_t> DeviceLineTime(const char* line, std::size_t length);

// Days since 1970 of a year, month and day (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day);
// "yyyymmdd" of a day since 1970.
std::string DayName(std::int64_t day);
