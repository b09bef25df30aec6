// Every program answers --help, --version and a wrong option alike, and does so before it
// would open a window: the programs run here with a display platform that does not exist, so
// one that starts its windows first fails instead of answering.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <sstream>

#include "mox/rtl/CommandLine.h"

namespace {

struct TRun {
    int exitCode = -1;
    QString out, err;
};

TRun RunProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(QString(MOX_BINARY_DIR "/bin/") + program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end";
    }
    TRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList Programs() { return QString(MOX_PROGRAMS).split(','); }

TEST(CommandLine, EveryProgramAnswersHelpVersionAndWrongOptions)
{
    ASSERT_GE(Programs().size(), 8);
    for (const QString& program : Programs()) {
        SCOPED_TRACE(program.toStdString());
        const TRun help = RunProgram(program, {"--help"});
        EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
        const QString usage = help.out.section('\n', 0, 0);
        EXPECT_TRUE(usage.startsWith("Aufruf:") || usage.startsWith("Usage:")) << usage.toStdString();
        EXPECT_TRUE(help.out.contains(program)) << help.out.toStdString();
        EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

        const TRun version = RunProgram(program, {"--version"});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, program + " " MOX_PROJECT_VERSION "\n");

        const TRun wrong = RunProgram(program, {"--no-such-option"});
        EXPECT_EQ(wrong.exitCode, 2);
        EXPECT_TRUE(wrong.out.isEmpty()) << wrong.out.toStdString();
        EXPECT_TRUE(wrong.err.contains("--no-such-option")) << wrong.err.toStdString();
        EXPECT_TRUE(wrong.err.contains(usage)) << wrong.err.toStdString();
    }
}

TEST(CommandLine, StationKeepsItsWordsAndRefusesSurplusOnes)
{
    // Four words are one too many for "FILE WIDTH HEIGHT".
    const TRun surplus = RunProgram("MOX_View", {"day.txt", "400", "250", "extra"});
    EXPECT_EQ(surplus.exitCode, 2);
    EXPECT_TRUE(surplus.err.contains("extra")) << surplus.err.toStdString();
    EXPECT_TRUE(RunProgram("MOX_Browser", {"file.mox"}).err.contains("file.mox"));
    // A negative size is told as one, not taken for an option.
    const TRun negative = RunProgram("MOX_View", {"day.txt", "-1", "-1"});
    EXPECT_EQ(negative.exitCode, 2);
    EXPECT_TRUE(negative.err.contains("Breite und Höhe dürfen nicht negativ sein: -1 -1"))
        << negative.err.toStdString();
}

int Answer(const TCommandLine& line, std::vector<const char*> args, std::string& out, std::string& err)
{
    args.insert(args.begin(), "prog");
    std::ostringstream o, e;
    const int rc = AnswerCommandLine(line, int(args.size()), args.data(), o, e);
    out = o.str();
    err = e.str();
    return rc;
}

TEST(CommandLine, OptionsWithValuesAndWordsAreCountedApart)
{
    const TCommandLine line{
        "prog", "Aufruf: prog [--iaga ORDNER] [auto ORDNER]\n", {{"--iaga", true}, {"--quiet", false}}, 2};
    std::string out, err;
    EXPECT_EQ(Answer(line, {"auto", "/data", "--iaga", "/out", "--quiet"}, out, err), -1);
    EXPECT_EQ(out + err, "");
    // An option given twice keeps its last value, and every value in order.
    TCommandLineWords words;
    const std::vector<const char*> twice{"prog", "--iaga", "/a", "--quiet", "--iaga", "/b"};
    std::ostringstream o, e;
    ASSERT_EQ(ParseCommandLine(line, int(twice.size()), twice.data(), words, o, e), -1);
    EXPECT_EQ(words.Value("--iaga"), "/b");
    EXPECT_EQ(words.Values("--iaga"), (std::vector<std::string>{"/a", "/b"}));
    // The value of an option is no word, even when it looks like an option.
    EXPECT_EQ(Answer(line, {"--iaga", "-odd-folder", "auto", "/data"}, out, err), -1);
    EXPECT_EQ(Answer(line, {"auto", "--iaga"}, out, err), 2);
    EXPECT_EQ(err, "prog: --iaga braucht einen Wert\n" + line.Usage);
    EXPECT_EQ(Answer(line, {"auto", "/data", "/more"}, out, err), 2);
    EXPECT_NE(err.find("/more"), std::string::npos);
    // Help wins over anything after it; a plain "-" is a word (standard input), not an option.
    EXPECT_EQ(Answer(line, {"--help", "--bogus"}, out, err), 0);
    EXPECT_EQ(out, line.Usage);
    EXPECT_EQ(Answer(line, {"-"}, out, err), -1);
    // So is a negative number: the program says what is wrong with it.
    EXPECT_EQ(Answer(line, {"-1", "-20"}, out, err), -1);
    EXPECT_EQ(Answer(line, {"-1x"}, out, err), 2);
}

}  // namespace
