// Synthetic sensor axis: every wire has its own untouched level (some close enough to 255 that a
// touch wraps past 0), a little noise, and fingers as Gaussian bumps of about a wire's width.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

struct Finger {
    double centre;      // in wires
    double amplitude;   // counts above the untouched level
};

class SynthAxis {
public:
    SynthAxis(int wires, uint32_t seed, int noise = 2, double sigma = 1.0)
        : FWires(wires), FNoise(noise), FSigma(sigma), FRng(seed), FBase(wires)
    {
        for (int i = 0; i < wires; ++i) FBase[i] = (200 + 53 * i + 7 * (i % 3)) % 256;
    }

    int Wires() const { return FWires; }
    int Base(int i) const { return FBase[i]; }

    std::vector<uint8_t> Frame(const std::vector<Finger>& fingers = {})
    {
        std::uniform_int_distribution<int> noise(-FNoise, FNoise);
        std::vector<uint8_t> f(FWires);
        for (int i = 0; i < FWires; ++i) {
            double v = FBase[i] + noise(FRng);
            for (const Finger& g : fingers)
                v += g.amplitude * std::exp(-(i - g.centre) * (i - g.centre) / (2 * FSigma * FSigma));
            f[i] = static_cast<uint8_t>(static_cast<int>(std::lround(v)) & 255);
        }
        return f;
    }

private:
    int FWires;
    int FNoise;
    double FSigma;
    std::mt19937 FRng;
    std::vector<int> FBase;
};
