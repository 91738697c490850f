#include "platform/shm.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace shm_detail {

struct Mapping {
    std::string fullName;
    uint8_t* data = nullptr;
    size_t size = 0;
    ~Mapping() {
        if (data) munmap(data, size);
    }
};

} // namespace shm_detail

using shm_detail::Mapping;

namespace {

std::mutex gRegistryLock;
std::map<std::pair<std::string, size_t>, std::weak_ptr<Mapping>>& Registry() {
    static auto* r = new std::map<std::pair<std::string, size_t>, std::weak_ptr<Mapping>>;
    return *r;
}

bool SafeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Maps `size` bytes of the named object, creating it zero-filled if absent. Refuses objects that
// another user owns or could read or write: a planted object must not capture our settings.
std::shared_ptr<Mapping> MapNamed(const std::string& name, size_t size) {
    if (size == 0) return nullptr;
    const std::string full = ShmObject::FullName(name);
    std::lock_guard<std::mutex> g(gRegistryLock);
    auto key = std::make_pair(full, size);
    auto& reg = Registry();
    if (auto it = reg.find(key); it != reg.end()) {
        if (auto m = it->second.lock()) return m;
        reg.erase(it);
    }
    int fd = shm_open(full.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0) {
        close(fd);
        return nullptr;
    }
    if ((st.st_mode & 0777) != 0600) fchmod(fd, 0600);
    if (static_cast<size_t>(st.st_size) < size) {
        if (ftruncate(fd, static_cast<off_t>(size)) != 0 || fstat(fd, &st) != 0 ||
            static_cast<size_t>(st.st_size) < size) {
            close(fd);
            return nullptr;
        }
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED) return nullptr;
    auto m = std::make_shared<Mapping>();
    m->fullName = full;
    m->data = static_cast<uint8_t*>(p);
    m->size = size;
    reg[key] = m;
    return m;
}

// Layout of a mutex object. A fresh object is all zero; whoever maps it first initialises the
// mutex, everyone else waits until it is ready.
struct MutexBlock {
    std::atomic<uint32_t> state; // 0 fresh, 1 initialising, 2 ready, 3 re-initialising
    uint32_t reserved;
    ProcessStamp initializer;
    pthread_mutex_t mutex;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

enum : uint32_t { msFresh = 0, msInit = 1, msReady = 2, msReinit = 3 };

bool InitMutex(pthread_mutex_t* m) {
    pthread_mutexattr_t a;
    if (pthread_mutexattr_init(&a) != 0) return false;
    bool ok = pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED) == 0 &&
              pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST) == 0 &&
              // A second lock from the holder fails at once instead of waiting out the time-out.
              pthread_mutexattr_settype(&a, PTHREAD_MUTEX_ERRORCHECK) == 0 &&
              pthread_mutex_init(m, &a) == 0;
    pthread_mutexattr_destroy(&a);
    return ok;
}

bool EnsureReady(MutexBlock* b) {
    for (int spin = 0; spin < 2000; ++spin) {
        uint32_t s = b->state.load(std::memory_order_acquire);
        if (s == msReady) return true;
        if (s == msFresh) {
            uint32_t expect = msFresh;
            if (b->state.compare_exchange_strong(expect, msInit, std::memory_order_acq_rel)) {
                b->initializer = ProcessStamp::Self();
                if (!InitMutex(&b->mutex)) {
                    b->state.store(msFresh, std::memory_order_release);
                    return false;
                }
                b->state.store(msReady, std::memory_order_release);
                return true;
            }
            continue;
        }
        // Someone is initialising; if that process died half-way, take over.
        if (s == msInit && spin > 10 && !b->initializer.Alive()) {
            uint32_t expect = msInit;
            if (b->state.compare_exchange_strong(expect, msReinit, std::memory_order_acq_rel)) {
                b->initializer = ProcessStamp::Self();
                if (!InitMutex(&b->mutex)) return false;
                b->state.store(msReady, std::memory_order_release);
                return true;
            }
        }
        struct timespec ts {
            0, 500 * 1000
        };
        nanosleep(&ts, nullptr);
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------

ShmObject::ShmObject(std::shared_ptr<Mapping> m) : FMap(std::move(m)) {}
ShmObject::~ShmObject() = default;

std::unique_ptr<ShmObject> ShmObject::Open(const std::string& name, size_t size) {
    auto m = MapNamed(name, size);
    if (!m) return nullptr;
    return std::unique_ptr<ShmObject>(new ShmObject(std::move(m)));
}

uint8_t* ShmObject::Data() const {
    return FMap->data;
}
size_t ShmObject::Size() const {
    return FMap->size;
}
const std::string& ShmObject::FullName() const {
    return FMap->fullName;
}

std::string ShmObject::Namespace() {
    const char* env = std::getenv("ZT7_SHM_NAMESPACE");
    if (env && *env) {
        std::string ns(env);
        if (ns.size() > 64) ns.resize(64);
        for (char& c : ns)
            if (!SafeChar(c)) c = '_';
        return ns;
    }
    return "zt7-" + std::to_string(static_cast<unsigned long>(geteuid()));
}

std::string ShmObject::FullName(const std::string& name) {
    std::string n = name;
    if (n.size() > 180) n.resize(180); // stay well inside NAME_MAX
    for (char& c : n)
        if (!SafeChar(c)) c = '_';
    return "/" + Namespace() + "-" + n;
}

bool ShmObject::Unlink(const std::string& name) {
    return shm_unlink(FullName(name).c_str()) == 0;
}

// ---------------------------------------------------------------------------------------------

ShmMutex::ShmMutex(std::shared_ptr<Mapping> m) : FMap(std::move(m)) {}
ShmMutex::~ShmMutex() = default;

std::unique_ptr<ShmMutex> ShmMutex::Open(const std::string& name) {
    auto m = MapNamed(name, sizeof(MutexBlock));
    if (!m) return nullptr;
    if (!EnsureReady(reinterpret_cast<MutexBlock*>(m->data))) return nullptr;
    return std::unique_ptr<ShmMutex>(new ShmMutex(std::move(m)));
}

bool ShmMutex::Lock(uint32_t timeoutMs) {
    auto* b = reinterpret_cast<MutexBlock*>(FMap->data);
    int rc = pthread_mutex_trylock(&b->mutex);
    if (rc == EBUSY) {
        struct timespec ts {};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        ts.tv_sec += timeoutMs / 1000;
        ts.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (ts.tv_nsec >= 1000000000L) {
            ts.tv_sec += 1;
            ts.tv_nsec -= 1000000000L;
        }
        rc = pthread_mutex_clocklock(&b->mutex, CLOCK_MONOTONIC, &ts);
    }
    if (rc == 0) return true;
    if (rc == EOWNERDEAD) {
        // The holder died mid-copy; the few bytes it guarded are taken as they are.
        pthread_mutex_consistent(&b->mutex);
        return true;
    }
    return false;
}

void ShmMutex::Unlock() {
    auto* b = reinterpret_cast<MutexBlock*>(FMap->data);
    pthread_mutex_unlock(&b->mutex);
}

// ---------------------------------------------------------------------------------------------

namespace {

// Reads state and start time (field 22) of /proc/<pid>/stat. False when there is no such process.
bool ReadProcStat(int32_t pid, char& state, uint64_t& start) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[1024];
    ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return false;
    buf[n] = 0;
    // The command name may hold spaces and parentheses: fields start after the last ')'.
    char* p = std::strrchr(buf, ')');
    if (!p || p[1] != ' ') return false;
    p += 2;
    state = *p;
    // state is field 3; start time is field 22.
    int field = 3;
    while (*p && field < 22) {
        if (*p == ' ') ++field;
        ++p;
    }
    if (field != 22) return false;
    start = std::strtoull(p, nullptr, 10);
    return true;
}

} // namespace

ProcessStamp ProcessStamp::Self() {
    ProcessStamp s;
    s.pid = static_cast<int32_t>(getpid());
    char state = 0;
    uint64_t start = 0;
    if (ReadProcStat(s.pid, state, start)) s.start = start;
    return s;
}

bool ProcessStamp::Alive() const {
    if (pid <= 0) return false;
    char state = 0;
    uint64_t st = 0;
    if (ReadProcStat(pid, state, st)) {
        if (state == 'Z' || state == 'X') return false;
        return start == 0 || st == start;
    }
    // Without /proc fall back to a signal probe.
    if (kill(pid, 0) == 0) return true;
    return errno == EPERM;
}
