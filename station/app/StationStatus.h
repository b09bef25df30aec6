#pragma once
// The station's state after a batch as one JSON object, for the retained status topic:
//   station, time (ISO 8601 UTC of the newest line), k (the eight block values of the newest
//   day, null for none), k_day (that day, yyyy-mm-dd), k_max, alarm (a change of at least the
//   alarm threshold within ten minutes during the newest hour of data), components (axis
//   letters of the newest line), location, latitude, longitude, locator, author, backlog
//   (lines not yet taken by the broker).
#include <cstddef>
#include <string>

#include "mox/rtl/Json.h"

class TMOX_Diagram;

// `withPreviousDay`: the diagram holds the day before in curves 1 and 3 and the newest day in
// curves 2 and 4, as the batch loads it.
std::string StationStatusJson(const TMOX_Diagram& diagram, bool withPreviousDay, const std::string& station,
                              const std::string& newestLine, std::size_t backlog);

// "2026-12-08T23:59:50Z" from a line that starts "08.12.26 23:59:50"; empty when the line
// carries no date and time.
std::string LineTimeIso(const std::string& line);
