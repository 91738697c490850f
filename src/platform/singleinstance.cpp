#include "platform/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

std::string TSingleInstance::LockDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) {
        struct stat st {};
        if (stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && access(xdg, W_OK) == 0) return xdg;
    }
    std::string dir = "/tmp/zt7-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    return dir;
}

TSingleInstance::TSingleInstance(const std::string& marker) {
    std::string name = marker;
    const char* ns = std::getenv("ZT7_SHM_NAMESPACE");
    if (ns && *ns) {
        name += "-";
        for (const char* p = ns; *p; ++p)
            name += (*p == '/') ? '_' : *p;
    }
    FPath = LockDirectory() + "/" + name;
    FFd = open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FFd < 0) {
        FError = "cannot open " + FPath + ": " + std::strerror(errno);
        return;
    }
    if (flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        close(FFd);
        FFd = -1;
        if (e == EWOULDBLOCK) {
            FAlreadyRunning = true;
        } else {
            FError = "cannot lock " + FPath + ": " + std::strerror(e);
        }
    }
}

TSingleInstance::~TSingleInstance() {
    // The file stays: removing it would race with a second driver that just opened it.
    if (FFd >= 0) close(FFd);
}
