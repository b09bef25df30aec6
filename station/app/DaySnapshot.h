#pragma once
// The copy of the growing day log that each batch draws from. Taken between two lines, the copy
// is a clean day; without room or rights for it the batch draws from the day log itself, which
// is only read, so that a nearly full disk costs no picture.
#include <string>

class DaySnapshot {
public:
    // Copies `log` to `snapshot` and returns the file to draw from: the snapshot, or the log
    // when the copy failed. Problem() then says why, once until a copy succeeds again.
    std::string Take(const std::string& log, const std::string& snapshot);
    // The problem of the last Take that is new to tell; empty otherwise.
    const std::string& Problem() const { return problem; }

private:
    std::string problem;
    int toldError = 0;  // errno of the failure last told, 0 after a good copy
};
