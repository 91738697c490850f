// Shared variables: cost of one access, and how long a change takes to reach another process.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/nativeloop.h"
#include "share/sharemanbase.h"
#include "share/sharevarpoly.h"

namespace {

// Objects of this run only, removed afterwards.
struct Namespace {
    std::string name = "zt7b-" + std::to_string(getpid());
    Namespace() {
        setenv("ZT7_SHM_NAMESPACE", name.c_str(), 1);
        TShareManBase::SetDeactivatePause(0);
    }
    ~Namespace() {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().rfind(name + "-", 0) == 0)
                std::filesystem::remove(e.path(), ec);
    }
};

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A master with one Int variable, the situation of the driver reading its settings.
struct Master {
    Namespace ns;
    TShareVarPoly poly;
    TShareVarBase* v;
    explicit Master(bool activate) {
        v = poly.AddItem("Bench", "Value", "Int", 1, nullptr, nullptr, false);
        if (activate) {
            TShareManBase::GetShareManBase()->SetMaster(true);
            TShareManBase::GetShareManBase()->SetActive(true);
        }
    }
    ~Master() {
        if (auto* m = TShareManBase::Existing()) m->SetActive(false);
    }
};

void BM_ReadScalar(benchmark::State& state) {
    Master m(true);
    m.v->SetValueInt(5);
    for (auto _ : state)
        benchmark::DoNotOptimize(m.v->GetValueInt());
}
BENCHMARK(BM_ReadScalar);

void BM_WriteScalarX(benchmark::State& state) {
    Master m(true);
    int32_t i = 0;
    for (auto _ : state)
        m.v->SetValueIntX(++i);
}
BENCHMARK(BM_WriteScalarX);

// A plain write also posts the ID into the change ring under the group mutex.
void BM_WriteScalar(benchmark::State& state) {
    Master m(true);
    int32_t i = 0;
    for (auto _ : state)
        m.v->SetValueInt(++i);
}
BENCHMARK(BM_WriteScalar);

void BM_ReadScalarLocalOnly(benchmark::State& state) {
    Master m(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(m.v->GetValueInt());
}
BENCHMARK(BM_ReadScalarLocalOnly);

// A slave writes; a master process polling at 50 ms (a slave is attached) reports when its
// OnChange ran. Writes are spread at random over the poll period.
void BM_CrossProcessChangeLatency(benchmark::State& state) {
    const int samples = static_cast<int>(state.range(0));
    Namespace ns;
    for (auto _ : state) {
        int toParent[2], ready[2];
        if (pipe(toParent) != 0 || pipe(ready) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        pid_t child = fork();
        if (child == 0) {
            NativeLoop loop;
            MainLoop::SetCurrent(&loop);
            {
                TShareVarPoly poly;
                poly.AddItem(
                    "Bench", "Value", "Int", 1,
                    [&](TShareVarBase*) {
                        const int64_t t = NowNs();
                        [[maybe_unused]] ssize_t n = write(toParent[1], &t, sizeof t);
                    },
                    nullptr, false);
                TShareManBase::GetShareManBase()->SetMaster(true);
                TShareManBase::GetShareManBase()->SetActive(true);
                const char c = 1;
                [[maybe_unused]] ssize_t n = write(ready[1], &c, 1);
                loop.Run();
            }
            _exit(0);
        }
        char c;
        if (read(ready[0], &c, 1) != 1) {
            state.SkipWithError("master did not start");
            return;
        }
        std::vector<double> ms;
        {
            TShareVarPoly poly;
            TShareVarBase* v = poly.AddItem("Bench", "Value", "Int", 1, nullptr, nullptr, false);
            TShareManBase::GetShareManBase()->SetActive(true);
            // The master speeds up at its next tick once it sees us.
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
            std::mt19937 rng(1);
            std::uniform_int_distribution<int> gap(0, 50000);
            for (int i = 0; i < samples; ++i) {
                std::this_thread::sleep_for(std::chrono::microseconds(gap(rng)));
                const int64_t t0 = NowNs();
                v->SetValueInt(i + 1);
                int64_t t1 = 0;
                if (read(toParent[0], &t1, sizeof t1) != sizeof t1) break;
                ms.push_back(static_cast<double>(t1 - t0) / 1e6);
            }
            TShareManBase::GetShareManBase()->SetActive(false);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        for (int fd : {toParent[0], toParent[1], ready[0], ready[1]})
            close(fd);
        if (ms.empty()) {
            state.SkipWithError("no samples");
            return;
        }
        std::sort(ms.begin(), ms.end());
        auto pct = [&](double p) {
            return ms[std::min(ms.size() - 1, static_cast<size_t>(p * ms.size()))];
        };
        double sum = 0;
        for (double x : ms)
            sum += x;
        state.counters["min_ms"] = ms.front();
        state.counters["p50_ms"] = pct(0.5);
        state.counters["p90_ms"] = pct(0.9);
        state.counters["p99_ms"] = pct(0.99);
        state.counters["max_ms"] = ms.back();
        state.counters["mean_ms"] = sum / static_cast<double>(ms.size());
        state.counters["samples"] = static_cast<double>(ms.size());
    }
}
BENCHMARK(BM_CrossProcessChangeLatency)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
