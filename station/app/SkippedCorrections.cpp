#include "station/app/SkippedCorrections.h"

#include <set>
#include <sstream>

#include "mox/Mm.h"

std::string SkippedCorrectionLines(const TMOX_Diagram& d)
{
    std::set<std::string> seen;
    std::string lines;
    for (int c = 1; c <= TMOX_Diagram::CurveCount; ++c) {
        if (!d.is_loaded(c)) continue;
        std::istringstream errors(d.get_korr_errors(c));
        for (std::string line; std::getline(errors, line);)
            if (!line.empty() && seen.insert(line).second) lines += line + "\n";
    }
    if (lines.empty()) return {};
    return "Zeilen der Korrekturdatei übersprungen (nicht lesbar):\n" + lines;
}
