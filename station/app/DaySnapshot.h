#pragma once
// The copy of the growing day log that each batch draws from. Taken between two lines, the copy
// is a clean day. Without room or rights for it beside the log, the copy goes into a spare
// folder on another medium (the runtime folder), with the previous day's file beside it for the
// "Vortag" curve: the batch converts what it draws from, and a conversion beside the log on a
// full medium would fail and cost the picture. So a nearly full data medium costs no picture
// and gets no day file written by the batch.
#include <string>

class DaySnapshot {
public:
    // Brings `snapshot` up to `log` (UpdateCopy: as a rule by appending the new lines) and
    // returns the file to draw from: the snapshot, or the copy in `spareFolder` when that
    // failed, or nothing when both failed. Problem() then says why, once until a copy beside
    // the log succeeds again.
    std::string Take(const std::string& log, const std::string& snapshot, const std::string& spareFolder);
    // The problem of the last Take that is new to tell; empty otherwise.
    const std::string& Problem() const { return problem; }

private:
    std::string TakeSpare(const std::string& log, const std::string& spareFolder);

    std::string problem;
    int toldError = 0;  // errno of the failure last told, 0 after a good copy
    bool toldSpareError = false;
};
