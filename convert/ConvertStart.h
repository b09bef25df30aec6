#pragma once
// How a run of MOX_Convert goes: its command line, which its window program answers alike,
// and the unattended conversion, which needs no Qt.
#include "mox/rtl/CommandLine.h"

extern const TCommandLine kConvertCommandLine;

// The internal program that MOX_Convert hands its window runs to.
constexpr const char* kConvertWindowProgram = "mox-convert-window";

// The arguments ask for the unattended conversion.
bool IsAutoRun(int argc, char** argv);

// `MOX_Convert auto FOLDER [--iaga DIR]`: converts, tells on stdout and stderr; the exit code.
int RunAutoConversion(int argc, char** argv);
