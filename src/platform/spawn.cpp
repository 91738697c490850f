#include "platform/spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

int SpawnDetached(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty() || access(program.c_str(), X_OK) != 0) return -1;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t fa;
    if (posix_spawnattr_init(&attr) != 0) return -1;
    if (posix_spawn_file_actions_init(&fa) != 0) {
        posix_spawnattr_destroy(&attr);
        return -1;
    }
    // Its own session: closing the panel's terminal or process group leaves the driver running.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none, deflt;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigemptyset(&deflt);
    sigaddset(&deflt, SIGPIPE);
    sigaddset(&deflt, SIGINT);
    sigaddset(&deflt, SIGTERM);
    sigaddset(&deflt, SIGCHLD);
    posix_spawnattr_setsigdefault(&attr, &deflt);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return -1;

    // The panel never waits for the driver; a small waiter keeps an exited driver from
    // remaining a zombie while the panel runs on.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return pid;
}

std::string FolderOf(const std::string& path) {
    const auto pos = path.rfind('/');
    if (pos == std::string::npos) return "";
    return path.substr(0, pos + 1);
}
