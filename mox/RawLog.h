#pragma once
// How TMOX_Diagram::Convert puts its files in place, and which time stamp scanner it uses.
class PendingFiles;

struct RawLogOptions {
    // Null: the day file and the report are synced and put in place before Convert returns.
    // Else their finished temporary files are added here (the report first), for a batch
    // that syncs many days at once.
    PendingFiles* pending = nullptr;
    // Every time stamp through the general date scanner, without the fast path for the
    // device's own form; both must give the same files.
    bool generalStampsOnly = false;
};
