// The project's own texts are German. This scans the string literals of the programs' sources
// for English words; what may stay English is listed: captions the programs have always shown,
// and the fixed texts of file formats and protocols.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Literal {
    std::string file;
    int line = 0;
    std::string text;
};

// The string literals of a C++ source, without those in comments; raw strings included.
std::vector<Literal> Literals(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string s = buffer.str();
    std::vector<Literal> found;
    int line = 1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
            while (i < s.size() && s[i] != '\n') ++i;
            ++line;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            for (i += 2; i + 1 < s.size() && !(s[i] == '*' && s[i + 1] == '/'); ++i)
                if (s[i] == '\n') ++line;
            ++i;
        } else if (c == 'R' && i + 1 < s.size() && s[i + 1] == '"' &&
                   (i == 0 || !std::isalnum((unsigned char)s[i - 1]))) {
            const std::size_t open = s.find('(', i);
            const std::string close = ")" + s.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = s.find(close, open);
            const std::string text = s.substr(open + 1, end - open - 1);
            found.push_back({file, line, text});
            line += int(std::count(text.begin(), text.end(), '\n'));
            i = end + close.size() - 1;
        } else if (c == '\'') {
            for (++i; i < s.size() && s[i] != '\''; ++i)
                if (s[i] == '\\') ++i;
        } else if (c == '"') {
            std::string text;
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) text += s[i++];
                text += s[i];
            }
            found.push_back({file, line, text});
        }
    }
    return found;
}

// Words that German texts do not use.
const std::set<std::string> kEnglish = {
    "the",    "is",      "are",       "cannot", "could",  "not",    "of",     "with",    "without", "from",
    "does",   "found",   "missing",   "shows",  "into",   "must",   "please", "this",    "that",    "which",
    "will",   "should",  "file",      "files",  "folder", "enough", "memory", "unknown", "usage",   "needs",
    "given",  "skipped", "converted", "and",    "or",     "to",     "be",     "been",    "has",     "have",
    "no",     "any",     "more",      "when",   "while",  "after",  "before", "there",   "failed",  "error",
    "opened", "written", "read",      "only",   "set",    "takes"};

// English the programs keep: captions they have always shown, and texts of formats and protocols
// (IAGA-2002 header records, MQTT and JSON fields, Qt's own identifiers).
const std::set<std::string> kAllowed = {
    "Activate noise filter?",
    "Use correction file?",
    "Color setup...",
    "Converted files:",
    "Exit program",
    "all ok",
    "no MOX-file",
    "MOX-file to old",
    "Generate MOX-files",
    "Update MOX-files",
    "Error Opening File ",
    "Error Writing PNG File!",
    "Source of Data",
    "SOURCE OF DATA",
    "Unknown error",
    // HTTP's reason phrases and header lines, and the status messages HAPI fixes for its codes.
    "Not Found",
    "Method Not Allowed",
    "Internal Server Error",
    "Retry-After: 10\\r\\nConnection: close\\r\\n",
    "X-Accel-Buffering: no\\r\\n\\r\\n",
    "OK - no data for time range",
    "Bad request - user input error",
    "Bad request - unknown API parameter name",
    "Bad request - error in start time",
    "Bad request - error in stop time",
    "Bad request - start time equal to or after stop time",
    "Bad request - unknown dataset id",
    "Bad request - unknown dataset parameter",
    "Bad request - too much time or data requested",
    "Bad request - out of order or duplicate parameters",
    "Internal server error",
};

// Option names ("--no-data", "hangup-after=") are the same in every language.
std::string WithoutOptions(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const bool dashed = text[i] == '-' && (i == 0 || !std::isalnum((unsigned char)text[i - 1]));
        std::size_t end = i;
        while (end < text.size() && (std::islower((unsigned char)text[end]) || text[end] == '-' || text[end] == '='))
            ++end;
        const std::string token = text.substr(i, end - i);
        if (end > i && (dashed || token.find('-') != std::string::npos) &&
            (i == 0 || !std::isalpha((unsigned char)text[i - 1]))) {
            i = end;
            continue;
        }
        out += text[i++];
    }
    return out;
}

std::vector<std::string> Words(const std::string& raw)
{
    const std::string text = WithoutOptions(raw);
    std::vector<std::string> words;
    std::string w;
    for (char c : text + " ") {
        if (std::isalpha((unsigned char)c) || c == '\'') {
            w += char(std::tolower((unsigned char)c));
        } else {
            if (!w.empty()) words.push_back(w);
            w.clear();
        }
    }
    return words;
}

}  // namespace

namespace {

// "file:line: text" of every literal under `folders` of `root` that reads as English.
std::vector<std::string> EnglishTexts(const std::filesystem::path& root, const std::vector<std::string>& folders)
{
    std::vector<std::string> english;
    for (const std::string& folder : folders) {
        for (const auto& e : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string ext = e.path().extension();
            if (ext != ".cpp" && ext != ".h") continue;
            for (const Literal& l : Literals(e.path())) {
                if (kAllowed.count(l.text)) continue;
                const std::vector<std::string> words = Words(l.text);
                // One word alone is a key, a name or a format, not a sentence.
                if (words.size() < 2) continue;
                if (std::any_of(words.begin(), words.end(), [](const std::string& w) { return kEnglish.count(w) > 0; }))
                    english.push_back(std::filesystem::relative(l.file, root).string() + ":" + std::to_string(l.line) +
                                      ": " + l.text);
            }
        }
    }
    return english;
}

}  // namespace

TEST(GermanTexts, TheProgramsSourcesHoldNoEnglishUserTexts)
{
    const std::vector<std::string> english = EnglishTexts(
        MOX_SOURCE_DIR, {"browser", "convert", "station", "paramtool", "collect", "tools/devsim", "tools/iaga", "mox"});
    std::string listed;
    for (const std::string& e : english) listed += e + "\n";
    EXPECT_TRUE(english.empty()) << english.size() << " English texts:\n" << listed;
}

// The scan finds English in code, also in raw strings and after a comment on the same line,
// and leaves comments, option names and German alone.
TEST(GermanTexts, TheScanTellsEnglishFromGerman)
{
    const std::filesystem::path root = std::filesystem::path(MOX_BINARY_DIR) / "test-tmp" / "GermanTextsScan";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "src");
    std::ofstream(root / "src/a.cpp") << "// the file cannot be read\n"
                                         "/* \"the file is gone\" */\n"
                                         "Tell(\"Die Datei ist nicht lesbar: \" + e);  // not English\n"
                                         "Tell(\"the file cannot be read\");\n"
                                         "const char* u = R\"(Aufruf: x [--no-data]\n"
                                         "Usage of the tool)\";\n"
                                         "Fail(\"--password-file braucht eine Datei\");\n"
                                         "Tell('\"', \"Activate noise filter?\");\n";
    EXPECT_EQ(EnglishTexts(root, {"src"}),
              (std::vector<std::string>{"src/a.cpp:4: the file cannot be read",
                                        "src/a.cpp:5: Aufruf: x [--no-data]\nUsage of the tool"}));
    std::filesystem::remove_all(root);
}

// The help pages are German pages.
TEST(GermanTexts, HelpPagesAreGerman)
{
    const std::filesystem::path root = MOX_SOURCE_DIR;
    for (const auto& e : std::filesystem::directory_iterator(root / "docs/help")) {
        if (e.path().extension() != ".html") continue;
        std::ifstream in(e.path());
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("lang=\"de\""), std::string::npos) << e.path();
    }
}
