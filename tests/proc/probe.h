// Records what a stage raised: length, the pointer handed out and a copy of the values (reading
// every value also lets the sanitizer catch an array shorter than its stated length).
#pragma once

#include <cstdint>
#include <vector>

template <typename T>
struct Probe {
    struct Call {
        void* sender;
        int length;
        const T* data;
        std::vector<T> values;
    };
    std::vector<Call> calls;

    auto Handler()
    {
        return [this](void* s, int n, const T* d) {
            Call c{s, n, d, {}};
            if (d && n > 0) c.values.assign(d, d + n);
            calls.push_back(std::move(c));
        };
    }
    const Call& Last() const { return calls.back(); }
    void Clear() { calls.clear(); }
};

using FloatProbe = Probe<float>;
using RawProbe = Probe<uint8_t>;
