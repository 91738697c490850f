// Named shared memory and named cross-process mutexes for the shared variables.
//
// Object names are the shared-variable names ("MemGrpCommPortInt1", "MutGrp") under a per-user
// namespace prefix, "/zt7-<uid>-" by default; ZT7_SHM_NAMESPACE replaces "zt7-<uid>" so tests and
// a second set of programs can run side by side. Objects are created with mode 0600 and are only
// accepted when they belong to this user and nobody else may read or write them.
//
// One name is mapped once per process: opening the same name again shares the mapping, so two
// variables with equal names see the same bytes at the same address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace shm_detail {
struct Mapping;
}

class ShmObject {
  public:
    // Creates or opens the object and maps `size` bytes read-write; a new object is zero-filled.
    // Returns null on any failure.
    static std::unique_ptr<ShmObject> Open(const std::string& name, size_t size);
    ~ShmObject();

    uint8_t* Data() const;
    size_t Size() const;
    const std::string& FullName() const;

    // "/<namespace>-<name>", the name handed to shm_open.
    static std::string FullName(const std::string& name);
    // The namespace in use: $ZT7_SHM_NAMESPACE (unsafe characters replaced) or "zt7-<uid>".
    static std::string Namespace();
    // Removes the named object (tests and tools). Mappings already open stay valid.
    static bool Unlink(const std::string& name);

  private:
    explicit ShmObject(std::shared_ptr<shm_detail::Mapping> m);
    std::shared_ptr<shm_detail::Mapping> FMap;
};

// A robust, process-shared mutex living in its own shared-memory object. A lock whose holder died
// is taken over and made consistent, so a crashed process never blocks the others.
class ShmMutex {
  public:
    static std::unique_ptr<ShmMutex> Open(const std::string& name);
    ~ShmMutex();

    // Waits at most timeoutMs; true when the mutex is now held by this call.
    bool Lock(uint32_t timeoutMs = 1000);
    void Unlock();

  private:
    explicit ShmMutex(std::shared_ptr<shm_detail::Mapping> m);
    std::shared_ptr<shm_detail::Mapping> FMap;
};

// A process identity that survives PID reuse: the PID plus the kernel's start time of it.
struct ProcessStamp {
    int32_t pid = 0;
    uint32_t reserved = 0;
    uint64_t start = 0;

    static ProcessStamp Self();
    // False when the process is gone, a zombie, or the PID now belongs to a newer process.
    bool Alive() const;
};
