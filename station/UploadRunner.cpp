#include "station/UploadRunner.h"

#include <QProcess>
#include <QTimer>

UploadRunner::~UploadRunner()
{
    for (QProcess* p : findChildren<QProcess*>()) {
        p->kill();
        p->waitForFinished(1000);
    }
}

bool UploadRunner::Start(const std::string& program, const std::string& workingDir, int timeLimitMs)
{
    auto* process = new QProcess(this);
    process->setProgram(QString::fromStdString(program));
    if (!workingDir.empty()) process->setWorkingDirectory(QString::fromStdString(workingDir));
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->start();
    if (!process->waitForStarted(5000)) {
        lastError = program + ": " + process->errorString().toStdString();
        delete process;
        return false;
    }
    lastError.clear();
    QTimer::singleShot(timeLimitMs, process, [process] {
        if (process->state() != QProcess::NotRunning) process->kill();
    });
    return true;
}

int UploadRunner::Running() const
{
    int n = 0;
    for (QProcess* p : findChildren<QProcess*>())
        if (p->state() != QProcess::NotRunning) ++n;
    return n;
}
