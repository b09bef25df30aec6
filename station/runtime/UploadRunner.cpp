#include "station/runtime/UploadRunner.h"

#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QTimer>
#include <memory>

#include "station/app/OutputTail.h"

namespace {

bool GroupAlive(pid_t group) { return kill(-group, 0) == 0; }

struct Run {
    std::string program;
    int limitSeconds = 0;
    bool timedOut = false;
    bool finished = false;
    OutputTail tail;
};

std::string Described(const Run& run, const std::string& what)
{
    std::string text = "Das Upload-Kommando " + what + ": " + run.program;
    const std::string last = run.tail.Text();
    if (!last.empty()) text += "\nLetzte Ausgabe:\n" + last;
    return text;
}

}  // namespace

UploadRunner::~UploadRunner()
{
    // The window that hears about problems is going away with us.
    OnProblem = nullptr;
    for (pid_t g : groups) kill(-g, SIGTERM);
    for (QProcess* p : findChildren<QProcess*>()) p->waitForFinished(1000);
    for (pid_t g : groups) kill(-g, SIGKILL);
}

bool UploadRunner::Start(const std::string& program, const std::string& workingDir, int timeLimitMs)
{
    auto* process = new QProcess(this);
    process->setProgram(QString::fromStdString(program));
    if (!workingDir.empty()) process->setWorkingDirectory(QString::fromStdString(workingDir));
    // Read, never forwarded: the station's own output is no place for a command's chatter.
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { setsid(); });
    auto run = std::make_shared<Run>();
    run->program = program;
    run->limitSeconds = (timeLimitMs + 999) / 1000;
    connect(process, &QProcess::readyReadStandardOutput, process, [process, run] {
        const QByteArray bytes = process->readAllStandardOutput();
        run->tail.Append(bytes.constData(), std::size_t(bytes.size()));
    });
    process->start();
    if (!process->waitForStarted(5000)) {
        lastError = program + ": " + process->errorString().toStdString();
        delete process;
        return false;
    }
    lastError.clear();
    const pid_t group = pid_t(process->processId());
    groups.insert(group);
    connect(process, &QProcess::finished, this, [this, process, run](int code, QProcess::ExitStatus status) {
        const QByteArray bytes = process->readAllStandardOutput();
        run->tail.Append(bytes.constData(), std::size_t(bytes.size()));
        process->deleteLater();
        run->finished = true;
        if (!OnProblem) return;
        if (run->timedOut)
            OnProblem(Described(*run, "wurde nach " + std::to_string(run->limitSeconds) + " s abgebrochen"));
        else if (status == QProcess::CrashExit) OnProblem(Described(*run, "wurde durch ein Signal beendet"));
        else if (code != 0) OnProblem(Described(*run, "endete mit Code " + std::to_string(code)));
    });
    // The limit holds for the whole group: a client the script left behind ends too.
    QTimer::singleShot(timeLimitMs, this, [this, group, run] {
        if (!GroupAlive(group)) {
            groups.erase(group);
            return;
        }
        run->timedOut = true;
        EndGroup(group);
        if (run->finished && OnProblem)
            OnProblem(Described(*run, "hinterließ Prozesse, die nach " + std::to_string(run->limitSeconds) +
                                          " s beendet wurden"));
    });
    return true;
}

void UploadRunner::EndGroup(pid_t group)
{
    kill(-group, SIGTERM);
    QTimer::singleShot(graceMs, this, [this, group] {
        kill(-group, SIGKILL);
        groups.erase(group);
    });
}

int UploadRunner::Running() const
{
    int n = 0;
    for (QProcess* p : findChildren<QProcess*>())
        if (p->state() != QProcess::NotRunning) ++n;
    return n;
}
