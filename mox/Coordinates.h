#pragma once
// Station coordinates between the free text of the day files ("52.29N", "13.0 E", "52°17'N")
// and decimal degrees, and the Maidenhead locator of a position.
#include <string>

// Reads a latitude (`latitude` true) or longitude from free text: decimal degrees, or degrees
// with minutes and seconds ("52°17'30\"N", "52 17.5 N"), a decimal point or comma, and the
// hemisphere as a sign or a letter before or after the number (N, S; E, W and the German O).
// South and west are negative. False when the text is no such position.
bool ParseDegrees(const std::string& text, bool latitude, double& degrees);

// Degrees with up to three decimals and at least one ("52.29", "13.0", "-105.236").
std::string FormatDegrees(double degrees);

// Whether a value can be a latitude (-90..90) or a longitude (-180..360, east of Greenwich
// counted up to 360 as observatories do).
bool IsPlausibleLatitude(double degrees);
bool IsPlausibleLongitude(double degrees);

// The six-character Maidenhead locator ("JO52FG") of a plausible position, all capitals as
// the station's settings write it.
std::string MaidenheadLocator(double latitude, double longitude);
