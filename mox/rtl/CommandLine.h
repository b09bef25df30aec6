#pragma once
// The command line every program answers alike, before it opens a window: --help (usage on
// stdout, exit 0), --version (exit 0), and an unknown option, an option without its value or
// a surplus argument (usage on stderr, exit 2). Programs check the meaning of what they were
// given afterwards; a negative number ("-1") is such an argument, not an option.
#include <iosfwd>
#include <map>
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

// What the command line says: the words that are not options, in order, and each option
// given, with its value ("" for one that takes none); a repeated option keeps its last value
// in Options and every value, in order, in Repeated.
struct TCommandLineWords {
    std::vector<std::string> Arguments;
    std::map<std::string, std::string> Options;
    std::map<std::string, std::vector<std::string>> Repeated;
    bool Has(const std::string& option) const { return Options.count(option) > 0; }
    std::string Value(const std::string& option, const std::string& otherwise = "") const
    {
        const auto it = Options.find(option);
        return it == Options.end() ? otherwise : it->second;
    }
    std::vector<std::string> Values(const std::string& option) const
    {
        const auto it = Repeated.find(option);
        return it == Repeated.end() ? std::vector<std::string>{} : it->second;
    }
};

// The suite's version, from the build.
const char* MoxVersion();

// -1 with `words` filled: the program goes on; else the exit code, after the answer has been
// printed.
int ParseCommandLine(const TCommandLine& line, int argc, const char* const* argv, TCommandLineWords& words,
                     std::ostream& out, std::ostream& err);
int ParseCommandLine(const TCommandLine& line, int argc, const char* const* argv, TCommandLineWords& words);
// A complaint about what the command line means, told as the parser tells its own: the
// program's name, the complaint, the usage, on stderr; the exit code for a usage error.
int CommandLineError(const TCommandLine& line, const std::string& complaint, std::ostream& err);
int CommandLineError(const TCommandLine& line, const std::string& complaint);

// -1: the program goes on; else the exit code, after the answer has been printed.
int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv, std::ostream& out,
                      std::ostream& err);
// The same on the process's own streams.
int AnswerCommandLine(const TCommandLine& line, int argc, const char* const* argv);
