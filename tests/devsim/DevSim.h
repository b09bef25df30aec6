// Runs mox-devsim as a child process for a test and finds its terminal through --link.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

class TDevSim {
public:
    explicit TDevSim(std::vector<std::string> args)
    {
        static int counter = 0;
        link_ = (std::filesystem::temp_directory_path() /
                 ("moxdev-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
                    .string();
        std::vector<std::string> argv = {MOX_BINARY_DIR "/bin/mox-devsim", "--link", link_};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        if (posix_spawn(&pid_, raw[0], nullptr, nullptr, raw.data(), environ) != 0) pid_ = -1;
        started_ = pid_ > 0 && WaitForLink(5000);
    }

    ~TDevSim()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 300; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    bool Started() const { return started_; }
    const std::string& Link() const { return link_; }

    // The terminal the link points at now, or "" while there is none.
    std::string Terminal() const
    {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(link_, ec);
        return ec || !std::filesystem::exists(target, ec) ? std::string() : target.string();
    }

    bool WaitForLink(int milliseconds) const
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < milliseconds) {
            if (!Terminal().empty()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    std::string link_;
    pid_t pid_ = -1;
    bool started_ = false;
};

// The event loop a port needs to deliver its packets.
inline QCoreApplication* TestApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    return QCoreApplication::instance();
}

// Runs the event loop until done() or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;  // wakes the loop, which otherwise sleeps until the next event
    tick.start(10);
    while (!done() && t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
