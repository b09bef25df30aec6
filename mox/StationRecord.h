#pragma once
// The station record (operator, place, coordinates, locator) goes into every day file, legend,
// page and exchange file. A new station starts with a placeholder so that its files are
// complete; while it is in use, every program that writes the record says so once.
#include <optional>
#include <string>

#include "mox/Mm.h"

class TIniFile;

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

// Puts the record of the settings file `ini` on `diagram`: "MOX-Header" Autor, Ort, Länge,
// Breite, Locator and 1-Sensor. A key that is missing takes the component's own value (the
// placeholder, the component By), as the station that has these settings writes its files.
void ReadStationRecord(const TIniFile& ini, TMOX_Diagram& diagram);

// For as long as it lives, `diagram` carries the record of the station whose day files lie in
// `folder` when the folder keeps one (a station's folder in a network's archive): the files it
// converts there and the pictures it draws meanwhile name that station, not this machine's. The
// remark of this machine's settings stays out of them. Without a record of the folder's own the
// diagram keeps what it carries.
class FolderRecord {
public:
    FolderRecord(TMOX_Diagram& diagram, const std::string& folder);
    ~FolderRecord();
    FolderRecord(const FolderRecord&) = delete;
    FolderRecord& operator=(const FolderRecord&) = delete;
    // The folder's record file; empty when the folder keeps none.
    const std::string& File() const { return file; }

private:
    struct Saved {
        std::string autor, ort, laenge, breite, locator, bemerkung;
        MOX_Vector_Typ sensor;
    };
    TMOX_Diagram& diagram;
    std::string file;
    std::optional<Saved> saved;
};
