#pragma once
// The batch's copy of the growing day log. Between two batches the log only gains lines at its
// end, so the copy gains the same bytes instead of being written whole every minute: on an SD
// card that is a few kilobytes a minute instead of megabytes.
#include <string>

// Makes `copy` hold exactly what `source` holds now. When `copy` is a regular file of its own
// (no link to it or from it) that holds exactly the beginning of `source`, only the rest is
// appended and synced, and nothing is written when there is no rest. Otherwise (a new day, a
// source cut back, replaced or changed, a copy missing, edited or longer than the source) or
// when the append fails, the copy is replaced whole through an AtomicFile. False with errno
// set when the copy could not be made; it then holds an earlier copy whole, or is gone.
bool UpdateCopy(const std::string& source, const std::string& copy);
