#pragma once
// The station's one way to write a message on stderr. Under systemd, whose journal reads the
// stream, each line carries the journal's priority prefix ("<3>", "<4>", "<6>") so that
// `journalctl -p warning` finds what matters; elsewhere the messages stay plain text.
#include <string>

enum class LogLevel { Error = 3, Warning = 4, Info = 6 };

void LogMessage(LogLevel level, const std::string& text);

// Whether stderr is the journal's stream: JOURNAL_STREAM ("device:inode") names stderr's file.
bool StderrIsJournal();

// The text LogMessage writes, for either destination; every line ends in '\n'.
std::string FormatLogMessage(LogLevel level, const std::string& text, bool journal);
