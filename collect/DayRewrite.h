#pragma once
// A station's day file rewritten whole in the archive from the lines the station reads back from
// its own day file. The lines go into a temporary beside the day file, which takes the day
// file's place in one rename once it is complete: a reader sees the day as it was or as the
// station has it, never a day half filled.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "mox/rtl/AtomicFile.h"

class DayRewrite {
public:
    // Makes the empty temporary of `dayFile` (one a killed collector left is taken over); false
    // with errno when it cannot be made.
    bool Open(const std::string& dayFile);
    // The next line, CR LF added, written whole: false with errno and the temporary as before.
    bool Append(const std::string& line);
    std::uint64_t Lines() const { return lines; }
    off_t Size() const { return size; }
    const std::string& File() const { return file.Target(); }
    // The temporary to the disk, renamed over the day file, the folder to the disk; false with
    // errno. The rewrite is over either way; a failed one leaves the day file as it was.
    bool Commit();

    // Removes the temporaries of rewrites that a killed collector left in `folder`.
    static void RemoveLeftovers(const std::string& folder);

private:
    AtomicFile file;
    std::uint64_t lines = 0;
    off_t size = 0;
};
