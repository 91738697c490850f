// Helpers shared by the link tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/manualloop.h"

using Bytes = std::vector<uint8_t>;

// Records every frame of a scan array event.
struct FrameLog {
    std::vector<Bytes> Frames;
    std::function<void(void*, int, const uint8_t*)> Sink()
    {
        return [this](void*, int n, const uint8_t* d) {
            Frames.emplace_back(d ? Bytes(d, d + n) : Bytes(static_cast<size_t>(n), 0));
            if (!d && n == 0)
                Frames.back().clear();
        };
    }
};

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline Bytes Repeat(uint8_t v, int n)
{
    return Bytes(static_cast<size_t>(n), v);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : FName(name)
    {
        if (const char* old = std::getenv(name)) {
            FOld = old;
            FHad = true;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (FHad)
            ::setenv(FName.c_str(), FOld.c_str(), 1);
        else
            ::unsetenv(FName.c_str());
    }

private:
    std::string FName, FOld;
    bool FHad = false;
};

// Runs the loop in virtual steps while real time passes for a peer (a pty writer, a reader
// thread), until done() or the real-time limit.
inline bool PumpUntil(ManualLoop& loop, const std::function<bool()>& done, int realLimitMs = 3000,
                      uint32_t stepMs = 10)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realLimitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        loop.Advance(stepMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
