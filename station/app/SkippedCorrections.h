#pragma once
// Correction lines that the last load could not read and skipped, told to the observer.
#include <string>

class TMOX_Diagram;

// One text for all loaded curves, each skipped line once (two components of a day share one
// file); empty when every line was read.
std::string SkippedCorrectionLines(const TMOX_Diagram& diagram);
