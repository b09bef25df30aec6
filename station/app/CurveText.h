#pragma once
// Texts the station's dialogs show about curves: the header block of a loaded curve and its
// row of K values.
#include <string>
#include <vector>

class TMOX_Diagram;

// The header lines of curve `curve` (1..4); `coordSeparator` stands between longitude and
// latitude. Empty when the curve is not loaded.
std::vector<std::string> HeaderBlock(const TMOX_Diagram& diagram, int curve, const std::string& coordSeparator);

// The eight block values, each followed by one blank; "- " for a block without a value.
std::string KRow(const int (&values)[8]);
