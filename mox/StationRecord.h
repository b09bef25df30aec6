#pragma once
// The station record (operator, place, coordinates, locator) goes into every day file, legend,
// page and exchange file. A new station starts with a placeholder so that its files are
// complete; while it is in use, every program that writes the record says so once.
#include <string>

class TMOX_Diagram;

namespace placeholder {
inline constexpr const char* kAutor = "MOX-Station";
inline constexpr const char* kOrt = "Polverin";
inline constexpr const char* kBreite = "52.0 N";
inline constexpr const char* kLaenge = "13.0 E";
inline constexpr const char* kLocator = "JO62AA";
}  // namespace placeholder

// The operator or the place is still the placeholder's (the coordinates alone say nothing: a
// real station may stand there).
bool IsPlaceholderRecord(const std::string& author, const std::string& location);

// What to tell: the placeholder and where the station's own record is set.
std::string PlaceholderRecordNote(const std::string& settingsFile);

// Tells the note once per process, on stderr and to a window that asks for the settings'
// notes, when `diagram` (or a day file's `author` and `location`) carries the placeholder.
void TellIfPlaceholderRecord(const TMOX_Diagram& diagram, const std::string& settingsFile);
void TellIfPlaceholderRecord(const std::string& author, const std::string& location, const std::string& settingsFile);
