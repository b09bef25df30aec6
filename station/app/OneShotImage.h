#pragma once
// The one-shot image run, `MOX_View FILE [WIDTH HEIGHT]`, as scheduled jobs start it: the day
// loaded (a raw log converted first), drawn, written into the image folder, and the name of
// the picture printed. No window is needed for it; when both sizes are given the program runs
// it before Qt starts, which is most of the time a run would otherwise take.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "station/app/BatchPlan.h"

class TIniFile;
class TMOX_Diagram;

// Exit codes of the run.
enum OneShotExit { oneShotOk = 0, oneShotFailed = 1, oneShotUsage = 2 };

// The largest width and height drawn: a bigger picture alone would take gigabytes.
constexpr int kMaxOneShotSide = 10000;

// The picture's size from the arguments after the file: a value below the minimum (400 x 250)
// keeps the one of `current`. False with the message in `error` for a value that is not a
// whole number, is negative or is above kMaxOneShotSide.
bool OneShotSize(const std::vector<std::string>& sizeArguments, ImageSize current, ImageSize& size, std::string& error);

// Loads, draws and writes; messages go to `err`, the picture's name to `out`. A failed
// allocation while drawing or writing ends the run as a failure with a message.
int RunOneShotImage(TMOX_Diagram& diagram, const TIniFile& ini, bool withPreviousDay, const std::string& file,
                    ImageSize size, std::FILE* out, std::FILE* err);

// The whole run without Qt when the arguments are a file and both sizes: the exit code.
// Nothing when the run needs the window (no sizes, a size below the minimum, other
// arguments), which then runs it.
std::optional<int> RunOneShotWithoutWindow(int argc, char** argv);

// Warns on `err` when no font was found: pictures then come without text.
void WarnWithoutFonts(std::FILE* err);
