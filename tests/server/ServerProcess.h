#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// The real spraydash-scores executable as a child process; the port comes from its first line.
class TServerProcess {
  public:
    // environment: NAME=value settings added to the server's own.
    explicit TServerProcess(std::vector<std::string> args, std::vector<std::string> environment = {}) {
        int out[2];
        if (::pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            for (auto& setting : environment)
                ::putenv(setting.data());
            std::vector<char*> argv;
            std::string exe = SPRAYDASH_SCORES_EXE;
            argv.push_back(exe.data());
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
        char line[512];
        if (!std::fgets(line, sizeof line, m_out))
            throw std::runtime_error("spraydash-scores printed nothing (did it start?)");
        const std::string text = line;
        const std::string marker = "listening on 127.0.0.1:";
        std::size_t at = text.find(marker);
        if (at == std::string::npos)
            throw std::runtime_error("unexpected first line: " + text);
        m_port = static_cast<unsigned short>(std::stoi(text.substr(at + marker.size())));
    }
    ~TServerProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_out)
            std::fclose(m_out);
    }
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    unsigned short Port() const { return m_port; }
    // Ends the process the hard way, as a power cut ends it for the process.
    void Kill9() {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    void Signal(int signal) { ::kill(m_pid, signal); }
    // Asks it to stop; returns its exit status.
    int Terminate() {
        ::kill(m_pid, SIGTERM);
        return Wait();
    }

  private:
    int Wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    unsigned short m_port = 0;
};

// Runs a shell command to the end and returns its status and standard output.
inline std::pair<int, std::string> RunCommand(const std::string& command) {
    FILE* p = ::popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Runs the executable to the end and returns its status and its output (both streams).
inline std::pair<int, std::string> RunScoresCommand(const std::string& args) {
    return RunCommand(std::string(SPRAYDASH_SCORES_EXE) + " " + args + " 2>&1");
}
