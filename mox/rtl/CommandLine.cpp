#include "mox/rtl/CommandLine.h"

#include <algorithm>
#include <iostream>

#include "BuildInfo.h"

const char* MoxVersion() { return MOX_VERSION; }

namespace {

int UsageError(const TCommandLine& line, const std::string& complaint, std::ostream& err)
{
    err << line.Program << ": " << complaint << "\n" << line.Usage;
    return 2;
}

}  // namespace

int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv,
                      std::ostream& out, std::ostream& err)
{
    int arguments = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            out << line.Usage;
            return 0;
        }
        if (a == "--version") {
            out << line.Program << " " << MoxVersion() << "\n";
            return 0;
        }
        // A negative number is a word: the program tells what it makes of it.
        const bool negativeNumber = a.size() > 1 && a.find_first_not_of("0123456789", 1) == std::string::npos;
        if (a.size() > 1 && a[0] == '-' && !negativeNumber) {
            const auto known = std::find_if(line.Options.begin(), line.Options.end(),
                                            [&](const TCommandLineOption& o) { return o.Name == a; });
            if (known == line.Options.end()) return UsageError(line, "unbekannte Option " + a, err);
            if (known->TakesValue && ++i >= argc) return UsageError(line, a + " braucht einen Wert", err);
            continue;
        }
        if (++arguments > line.MaxArguments) return UsageError(line, "überzähliges Argument " + a, err);
    }
    return -1;
}

int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv)
{
    return AnswerCommandLine(line, argc, argv, std::cout, std::cerr);
}
