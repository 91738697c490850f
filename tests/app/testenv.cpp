#include "testenv.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/manualloop.h"
#include "platform/shm.h"
#include "share/sharemanbase.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> gCounter{0};

// The stand-in panel runs this before main: attach as slave, say so, wait for stdin to close.
struct SlaveEntry {
    SlaveEntry() {
        const char* role = std::getenv("ZT7_TEST_PANEL_SLAVE");
        if (!role || std::strcmp(role, "1") != 0) return;
        ManualLoop loop;
        MainLoop::SetCurrent(&loop);
        TShareManBase::SetDeactivatePause(0);
        TShareManBase* man = TShareManBase::GetShareManBase();
        man->SetMaster(false);
        man->SetActive(true);
        const char* msg = man->GetActive() ? "ready\n" : "fail\n";
        if (write(1, msg, std::strlen(msg)) < 0) _exit(3);
        char buf[64];
        while (read(0, buf, sizeof buf) > 0) {
        }
        man->SetActive(false);
        _exit(0);
    }
} gSlaveEntry;

}  // namespace

TestShmNamespace::TestShmNamespace() {
    const char* old = std::getenv("ZT7_SHM_NAMESPACE");
    if (old) {
        FHadOld = true;
        FOld = old;
    }
    FName = "zt7t-" + std::to_string(getpid()) + "-" + std::to_string(gCounter++);
    setenv("ZT7_SHM_NAMESPACE", FName.c_str(), 1);
}

TestShmNamespace::~TestShmNamespace() {
    std::error_code ec;
    const std::string prefix = ShmObject::Namespace() + "-";
    for (const auto& e : fs::directory_iterator("/dev/shm", ec)) {
        const std::string n = e.path().filename().string();
        if (n.rfind(prefix, 0) == 0) fs::remove(e.path(), ec);
    }
    if (FHadOld)
        setenv("ZT7_SHM_NAMESPACE", FOld.c_str(), 1);
    else
        unsetenv("ZT7_SHM_NAMESPACE");
}

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "zt7test-XXXXXX").string();
    char* p = mkdtemp(tmpl.data());
    FPath = p ? p : "";
}

TempDir::~TempDir() {
    if (FPath.empty()) return;
    std::error_code ec;
    // A test may have made the folder read-only.
    fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(FPath, ec);
}

PanelSlave::PanelSlave() {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) return;
    FPid = fork();
    if (FPid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        setenv("ZT7_TEST_PANEL_SLAVE", "1", 1);
        char* argv[] = {const_cast<char*>("panel-slave"), nullptr};
        execv("/proc/self/exe", argv);
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    FIn = toChild[1];
    char buf[16] = {};
    ssize_t n = read(fromChild[0], buf, sizeof buf - 1);
    close(fromChild[0]);
    FAttached = n > 0 && std::strncmp(buf, "ready", 5) == 0;
}

PanelSlave::~PanelSlave() {
    if (FIn >= 0) close(FIn);
    if (FPid > 0) {
        int status = 0;
        waitpid(FPid, &status, 0);
    }
}

ChildProcess::~ChildProcess() {
    if (FPid > 0 && !FDone) {
        kill(FPid, SIGKILL);
        int status;
        waitpid(FPid, &status, 0);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& outPath, const std::string& errPath) {
    FPid = fork();
    if (FPid < 0) return false;
    if (FPid == 0) {
        // A clean signal mask: a test that blocked SIGTERM must not pass that on.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        if (out >= 0) dup2(out, 1);
        if (err >= 0) dup2(err, 2);
        if (in >= 0) dup2(in, 0);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    FDone = false;
    return true;
}

bool ChildProcess::Wait(int ms, int& code) {
    if (FDone) {
        code = FCode;
        return true;
    }
    for (int waited = 0;; waited += 10) {
        int status = 0;
        pid_t r = waitpid(FPid, &status, WNOHANG);
        if (r == FPid) {
            FDone = true;
            FCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            code = FCode;
            return true;
        }
        if (waited >= ms) return false;
        usleep(10000);
    }
}

void ChildProcess::Signal(int signo) {
    if (FPid > 0 && !FDone) kill(FPid, signo);
}

bool ChildProcess::Running() {
    int code;
    return FPid > 0 && !Wait(0, code);
}

int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               std::string& out, int timeoutMs) {
    TempDir tmp;
    ChildProcess p;
    if (!p.Start(argv, env, tmp.File("out"), tmp.File("err"))) return -1;
    int code = -1;
    if (!p.Wait(timeoutMs, code)) return -1;
    out = ReadWholeFile(tmp.File("out"));
    return code;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
