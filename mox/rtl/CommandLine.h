#pragma once
// The command line every program answers alike, before it opens a window: --help (usage on
// stdout, exit 0), --version (exit 0), and an unknown option or a surplus argument (usage on
// stderr, exit 2). Programs check their own arguments' meaning afterwards; a negative number
// ("-1") is such an argument, not an option.
#include <iosfwd>
#include <string>
#include <vector>

struct TCommandLineOption {
    std::string Name;         // "--iaga"
    bool TakesValue = false;  // the next argument belongs to the option
};

struct TCommandLine {
    std::string Program;  // as it is called: "MOX_View"
    std::string Usage;    // the whole usage text, ending in a line break
    std::vector<TCommandLineOption> Options;
    int MaxArguments = 0;  // words that are not options
};

// The suite's version, from the build.
const char* MoxVersion();

// -1: the program goes on; else the exit code, after the answer has been printed.
int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv,
                      std::ostream& out, std::ostream& err);
// The same on the process's own streams.
int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv);
