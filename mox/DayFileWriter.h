#pragma once
// Writing .mox day files, shared by the raw log and the observatory conversion: the header
// lines, then one data section of 1440 minute values per component, CR LF throughout.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "mox/rtl/PendingFiles.h"
#include "mox/rtl/TextFile.h"

struct DayFileHeader {
    int type = 1;  // 1, 2 or 4: the number of sections
    std::string description;
    std::string date;  // as it goes into the file
    std::string location, latitude, longitude, locator, author, remarks;
};

// One component: its name ("Bx", "By", "Bz", "B") and the value of every minute of the day;
// an empty value is a minute without readings, written as "NaN".
struct DayFileSection {
    std::string name;
    std::array<std::optional<long long>, 1440> minutes;
};

// Writes the whole file into `out`; a TYPE 1 file's section marker carries no name.
void WriteDayFile(TextWriter& out, const DayFileHeader& header, const std::vector<DayFileSection>& sections);

// Opens an atomic writer for `path`, raising std::system_error when that is not possible.
void OpenForWriting(TextWriter& out, const std::string& path);
// Puts the file in place, raising std::system_error when it did not reach the disk; the
// file that was there before then stays as it was.
void CommitOrRaise(TextWriter& out);
// Finishes the temporary file (synced with `sync`) and adds it to `done`, raising
// std::system_error when it could not be written.
void FinishOrRaise(TextWriter& out, bool sync, PendingFiles& done);
