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

int ParseCommandLine(const TCommandLine& line, int argc, const char* const* argv, TCommandLineWords& words,
                     std::ostream& out, std::ostream& err)
{
    words = {};
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
            if (known->TakesValue && (i + 1 >= argc || argv[i + 1][0] == '\0'))
                return UsageError(line, a + " braucht einen Wert", err);
            words.Options[a] = known->TakesValue ? argv[++i] : "";
            words.Repeated[a].push_back(words.Options[a]);
            continue;
        }
        if (++arguments > line.MaxArguments) return UsageError(line, "überzähliges Argument " + a, err);
        words.Arguments.push_back(a);
    }
    return -1;
}

int ParseCommandLine(const TCommandLine& line, int argc, const char* const* argv, TCommandLineWords& words)
{
    return ParseCommandLine(line, argc, argv, words, std::cout, std::cerr);
}

int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    TCommandLineWords words;
    return ParseCommandLine(line, argc, argv, words, out, err);
}

int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv)
{
    return AnswerCommandLine(line, argc, argv, std::cout, std::cerr);
}

int CommandLineError(const TCommandLine& line, const std::string& complaint, std::ostream& err)
{
    return UsageError(line, complaint, err);
}

int CommandLineError(const TCommandLine& line, const std::string& complaint)
{
    return UsageError(line, complaint, std::cerr);
}
