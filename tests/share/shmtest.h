// Test helpers: an isolated shared-memory namespace per test and scriptable peer processes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// Gives the process (and the peers it starts) a namespace of its own and removes every object in
// it afterwards.
class ShmNamespace {
  public:
    ShmNamespace() {
        static std::atomic<int> seq{0};
        FName = "zt7t-" + std::to_string(getpid()) + "-" + std::to_string(seq++);
        if (const char* old = std::getenv("ZT7_SHM_NAMESPACE")) FPrevious = old;
        setenv("ZT7_SHM_NAMESPACE", FName.c_str(), 1);
    }
    ~ShmNamespace() {
        for (const std::string& f : Files())
            std::filesystem::remove("/dev/shm/" + f);
        if (FPrevious.empty())
            unsetenv("ZT7_SHM_NAMESPACE");
        else
            setenv("ZT7_SHM_NAMESPACE", FPrevious.c_str(), 1);
    }
    const std::string& Name() const { return FName; }
    std::string Path(const std::string& object) const { return "/dev/shm/" + FName + "-" + object; }
    std::vector<std::string> Files() const {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
            const std::string n = e.path().filename().string();
            if (n.rfind(FName + "-", 0) == 0) out.push_back(n);
        }
        return out;
    }

  private:
    std::string FName;
    std::string FPrevious;
};

// A child process speaking the line protocol of share_peer (or any program's stdout).
class Peer {
  public:
    // mergeStderr: the child's error output joins its standard output.
    explicit Peer(const std::vector<std::string>& argv, bool mergeStderr = false) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        FPid = fork();
        if (FPid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            if (mergeStderr) dup2(out[1], 2);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        FIn = in[1];
        FOut = out[0];
    }
    ~Peer() {
        if (FIn >= 0) close(FIn);
        if (FPid > 0 && !FReaped) {
            // Closing stdin ends a peer; give it a moment, then make sure.
            for (int i = 0; i < 200 && !TryReap(); ++i)
                usleep(5000);
            if (!FReaped) {
                kill(FPid, SIGKILL);
                waitpid(FPid, nullptr, 0);
            }
        }
        if (FOut >= 0) close(FOut);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    pid_t Pid() const { return FPid; }

    void Send(const std::string& line) {
        std::string s = line + "\n";
        [[maybe_unused]] ssize_t n = write(FIn, s.data(), s.size());
    }

    // Next line, or "<timeout>" / "<eof>".
    std::string ReadLine(int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl = FBuf.find('\n');
            if (nl != std::string::npos) {
                std::string line = FBuf.substr(0, nl);
                FBuf.erase(0, nl + 1);
                return line;
            }
            const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  end - std::chrono::steady_clock::now())
                                                  .count());
            if (left <= 0) return "<timeout>";
            pollfd p{FOut, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char buf[4096];
            ssize_t n = read(FOut, buf, sizeof buf);
            if (n <= 0) return "<eof>";
            FBuf.append(buf, static_cast<size_t>(n));
        }
    }

    // Sends a command and returns the text after "ok" of its answer; lines before it (events) are
    // kept in Events().
    std::string Cmd(const std::string& line, int timeoutMs = 5000) {
        Send(line);
        for (;;) {
            std::string l = ReadLine(timeoutMs);
            if (l == "<timeout>" || l == "<eof>") return l;
            if (l.rfind("ok", 0) == 0) return l.size() > 3 ? l.substr(3) : "";
            FEvents.push_back(l);
        }
    }

    // Waits for an event line equal to `line`; true when it came.
    bool WaitEvent(const std::string& line, int timeoutMs) {
        for (size_t i = 0; i < FEvents.size(); ++i)
            if (FEvents[i] == line) {
                FEvents.erase(FEvents.begin() + static_cast<long>(i));
                return true;
            }
        for (;;) {
            std::string l = ReadLine(timeoutMs);
            if (l == "<timeout>" || l == "<eof>") return false;
            if (l == line) return true;
            FEvents.push_back(l);
        }
    }

    std::vector<std::string> TakeEvents() {
        std::vector<std::string> e;
        e.swap(FEvents);
        return e;
    }

    void Kill(int sig = SIGKILL) {
        if (FPid <= 0 || FReaped) return;
        kill(FPid, sig);
        int st = 0;
        waitpid(FPid, &st, 0);
        FReaped = true;
        FStatus = st;
    }

    // Exit status once the child ended (-1 while running or not reaped).
    int Wait(int timeoutMs = 5000) {
        for (int i = 0; i < timeoutMs / 5 && !TryReap(); ++i)
            usleep(5000);
        if (!FReaped) return -1;
        return WIFEXITED(FStatus) ? WEXITSTATUS(FStatus) : 128 + WTERMSIG(FStatus);
    }

    // Everything the child printed until it closed stdout.
    std::string ReadAll(int timeoutMs = 5000) {
        std::string all;
        for (;;) {
            std::string l = ReadLine(timeoutMs);
            if (l == "<timeout>" || l == "<eof>") return all;
            all += l + "\n";
        }
    }

    void CloseInput() {
        if (FIn >= 0) close(FIn);
        FIn = -1;
    }

  private:
    bool TryReap() {
        if (FReaped) return true;
        int st = 0;
        if (waitpid(FPid, &st, WNOHANG) == FPid) {
            FReaped = true;
            FStatus = st;
        }
        return FReaped;
    }

    pid_t FPid = -1;
    int FIn = -1, FOut = -1;
    std::string FBuf;
    std::vector<std::string> FEvents;
    bool FReaped = false;
    int FStatus = 0;
};
