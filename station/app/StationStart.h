#pragma once
// How a run of MOX_View goes: its command line, which every one of its programs answers alike,
// and whether "LOG" runs as the headless station.
#include "mox/rtl/CommandLine.h"

extern const TCommandLine kStationCommandLine;

// The internal programs that MOX_View hands its runs with Qt to.
constexpr const char* kStationWindowProgram = "mox-view-window";
constexpr const char* kHeadlessStationProgram = "mox-station";

// Whether `MOX_View LOG` should run headless: no display to show a window on.
bool NoDisplay();

// The arguments ask for the logging station, and it runs without a window.
bool RunsHeadless(int argc, char** argv);
