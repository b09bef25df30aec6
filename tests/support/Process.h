#pragma once
// A program of the build run as a child process, its output into files, stopped by signal.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

extern char** environ;

class ChildProcess {
public:
    // `env`: "NAME=value" entries added to this process's environment; a bare "NAME" leaves
    // that variable out.
    ChildProcess(std::vector<std::string> argv, const std::string& outputFile, const std::vector<std::string>& env = {})
    {
        std::vector<std::string> environment, left;
        for (const std::string& e : env) (e.find('=') == std::string::npos ? left : environment).push_back(e);
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool out = false;
            for (const std::string& name : left) out = out || entry.rfind(name + "=", 0) == 0;
            if (!out) environment.push_back(entry);
        }
        std::vector<char*> args, envp;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess()
    {
        if (pid > 0) Stop(SIGKILL);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid > 0; }
    pid_t Pid() const { return pid; }

    // Sends the signal and waits for the end; the exit status, -1 when it had to be killed.
    int Stop(int signal = SIGTERM, int milliseconds = 20000)
    {
        if (pid <= 0) return status;
        kill(pid, signal);
        return Wait(milliseconds);
    }

    // The exit status once the program ended by itself within the time, else -1.
    int Wait(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (pid > 0) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                pid = -1;
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status;
    }

private:
    pid_t pid = -1;
    int status = -1;
};

// Whether the process whose id stands in the first line of pidFile still runs; a process that
// has ended but is not yet reaped by its new parent counts as ended.
inline bool Running(const std::string& pidFile)
{
    const std::string pid = ReadBytes(pidFile);
    if (pid.empty()) return false;
    const std::string stat = ReadBytes("/proc/" + pid.substr(0, pid.find('\n')) + "/stat");
    const std::size_t state = stat.rfind(") ");
    return state != std::string::npos && stat.compare(state + 2, 1, "Z") != 0;
}
