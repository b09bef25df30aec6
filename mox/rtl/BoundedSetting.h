#pragma once
// Numbers from the settings file, held to the range their dialogs allow (or a sane one where
// no dialog sets them). The file is edited by hand and copied between stations; a size or an
// interval far out of range must not take the programs down. Each value outside its range is
// told once per process, at once (TellSettingOnce) and to a window that asks for it, and
// replaced by the nearest allowed value.
#include <functional>
#include <string>
#include <vector>

class TIniFile;

struct IntRange {
    int Min, Max;
};

// A missing key or a value that is not a whole number gives `def`, without a word; a whole
// number outside `range` (also one beyond what an int holds) gives the nearest bound.
int ReadBoundedInteger(const TIniFile& ini, const std::string& section, const std::string& key, int def,
                       IntRange range);

// Tells a remark on the settings once per process and `where` (what it is about): to the
// notes' sink at once, and to a window that asks for it.
void TellSettingOnce(const std::string& where, const std::string& message);

// Where the notes go at once: by default stderr, after the program's name. A program with a log
// of its own (the station's, ranked for the journal) sends them there; null: stderr again.
void SendSettingNotesTo(std::function<void(const std::string&)> sink);

// The messages told since the last call, for a window to show.
std::vector<std::string> TakeSettingNotes();

// Text with its control characters shown as "\xNN", so that a stray NUL or escape in a
// setting neither cuts a message short nor reaches the terminal. Line breaks stay: messages
// are made of lines, and a setting cannot hold one.
std::string VisibleText(const std::string& text);
