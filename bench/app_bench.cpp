// The driver as a whole: how many frames per second the processing graph takes when a recording
// is fed as fast as possible, and how much of a core the idle driver costs.
#include <fstream>
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/app/processfrm.h"
#include "platform/manualloop.h"
#include "platform/mousesink.h"
#include "platform/shm.h"
#include "share/sharemanbase.h"
#include "sim.h"

namespace {

namespace fs = std::filesystem;

// A recording of the simulated panel: 40 s of the demonstration script at 100 scans per second.
std::vector<std::vector<uint8_t>> Recording() {
    sim::TPanel panel{sim::TPanelConfig{}};
    sim::TScript script("demo", 7);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> f;
    for (uint32_t t = 0; t < 40000; t += 10) {
        panel.Scan(t, script.At(t), f);
        frames.push_back(f);
    }
    return frames;
}

std::string Settings() {
    return "[Output]\r\nEnabledBoo1=1\r\nPressTypeInt1=4\r\n\r\n[Comm]\r\nPortInt1="
           "1\r\nReqOpenBoo1=0\r\n\r\n"
           "[Split]\r\nSplit0Int1=12\r\nSplit1Int1=40\r\nFlip0Int1=0\r\nFlip1Int1=0\r\nFlip2Int1="
           "1\r\n";
}

void RemoveNamespace() {
    std::error_code ec;
    const std::string prefix = ShmObject::Namespace() + "-";
    for (const auto& e : fs::directory_iterator("/dev/shm", ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0) fs::remove(e.path(), ec);
}

// Whole graph, frame after frame: link entry → logger → splitter → both axis chains → fusion →
// damping, calibration, edge stretch → mouse output, with the share manager active as master.
void BM_GraphReplay(benchmark::State& state) {
    const std::string ns = "zt7bench-" + std::to_string(getpid());
    setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
    setenv("ZT7_NO_PRIORITY", "1", 1);
    const fs::path dir = fs::temp_directory_path() / ns;
    fs::create_directories(dir);
    {
        FILE* f = std::fopen((dir / "ZT7.INI").c_str(), "wb");
        const std::string s = Settings();
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
    }
    const auto frames = Recording();
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    TShareManBase::SetDeactivatePause(0);
    NoneMouseSink sink;
    {
        TProcessFormConfig c;
        c.Directory = dir.string();
        c.Loop = &loop;
        c.StartUsbThread = false;
        c.ShutDownWaitMs = 0;
        auto formOwner = std::make_unique<TNX7_ProcessForm>(c);  // over a megabyte
        TNX7_ProcessForm& form = *formOwner;
        form.SetMouseSink(&sink);
        loop.Advance(1200);  // start-up, settings loaded and handed to the components

        size_t i = 0;
        for (auto _ : state) {
            const auto& fr = frames[i];
            form.NX7_CommsAXYRawData(&form, static_cast<int>(fr.size()), fr.data());
            if (++i == frames.size()) i = 0;
        }
        state.SetItemsProcessed(state.iterations());
        state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                            benchmark::Counter::kIsRate);
        state.counters["mouse_actions"] = static_cast<double>(form.GetMouseCount());
        TShareManBase::GetShareManBase()->SetActive(false);
    }
    MainLoop::SetCurrent(nullptr);
    RemoveNamespace();
    fs::remove_all(dir);
}
BENCHMARK(BM_GraphReplay)->MinTime(2.0);

// CPU time of every thread of a process in ns (scheduler statistics), -1 when unreadable.
double ProcessCpuNs(pid_t pid) {
    double total = 0;
    std::error_code ec;
    bool any = false;
    for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        FILE* f = std::fopen((t.path() / "schedstat").c_str(), "r");
        if (!f) continue;
        unsigned long long ns = 0;
        if (std::fscanf(f, "%llu", &ns) == 1) {
            total += static_cast<double>(ns);
            any = true;
        }
        std::fclose(f);
    }
    return any ? total : -1;
}

// The driver process with no sensor and no panel: CPU time over wall time, once for the whole
// run (start-up and shut-down included) and once for the idle stretch after start-up. The second
// argument is the port: 9 (USB, the shipped default: the front looks for a device every second)
// or 1 (a serial port that is not there).
void BM_IdleCpu(benchmark::State& state) {
    const std::string ns = "zt7idle-" + std::to_string(getpid());
    const fs::path dir = fs::temp_directory_path() / ns;
    fs::create_directories(dir);
    const int seconds = static_cast<int>(state.range(0));
    {
        std::ofstream ini(dir / "ZT7.INI", std::ios::binary);
        ini << "[Comm]\r\nPortInt1=" << state.range(1) << "\r\nReqOpenBoo1=1\r\n\r\n";
    }
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            setenv("ZT7_COM1", (dir / "no-sensor").c_str(), 1);
            std::string d = "--dir=" + dir.string();
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execl(ZT7_DRIVER_PATH, ZT7_DRIVER_PATH, d.c_str(), "--mouse=none",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double cpu0 = ProcessCpuNs(pid);
        const auto i0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu1 = ProcessCpuNs(pid);
        const double idleWall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - i0).count();
        if (cpu0 >= 0 && cpu1 >= 0)
            state.counters["idle_cpu_percent_of_a_core"] = 100.0 * (cpu1 - cpu0) / 1e9 / idleWall;
        kill(pid, SIGTERM);
        int status = 0;
        rusage ru{};
        wait4(pid, &status, 0, &ru);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        state.SetIterationTime(wall);
        state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
        state.counters["cpu_ms"] = cpu * 1000.0;
    }
    setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
    RemoveNamespace();
    fs::remove_all(dir);
}
BENCHMARK(BM_IdleCpu)->Args({10, 9})->Args({10, 1})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
