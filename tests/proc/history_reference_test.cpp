// The baseline history against a plain, bin-by-bin model of the learning rules: histograms over
// the held frames, the 257-step walk, the 100-candidate ring and the most frequent candidate.
// The stage keeps run bitmaps and a running most-frequent value for speed; both must give the
// same output on every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "driver/proc/historyb.h"

namespace {

class PlainHistory {
public:
    void SetRate(int r) { capacity = 60 * std::clamp(r, 10, 100); }

    std::vector<float> Input(const std::vector<uint8_t>& in, float scaler)
    {
        const int n = static_cast<int>(in.size());
        if (n != length) {
            length = std::clamp(n, 4, 64);
            ring.clear();
            A.assign(length, std::vector<int>(256, 0));
            B = A;
            H = A;
            cands.clear();
            base.assign(length, 0);
        }
        std::vector<uint8_t> frame(length, 0);
        std::copy_n(in.begin(), std::min(n, length), frame.begin());

        for (int pass = 0; pass < 2 && static_cast<int>(ring.size()) >= capacity; ++pass) {
            for (int i = 0; i < length; ++i) {
                --A[i][ring.front()[i]];
                for (int k = 0; k < 10; ++k) --B[i][(ring.front()[i] + k) % 256];
            }
            ring.erase(ring.begin());
        }
        ring.push_back(frame);
        for (int i = 0; i < length; ++i) {
            ++A[i][frame[i]];
            for (int k = 0; k < 10; ++k) ++B[i][(frame[i] + k) % 256];
        }

        std::vector<int> c(length, 0), q(length, 0);
        for (int i = 0; i < length; ++i) {
            int w0 = -1;
            for (int w = 0; w < 256 && w0 < 0; ++w)
                if (B[i][w] > 16) w0 = w;
            if (w0 < 0) continue;
            int k = 0, best = 0, b = 0;
            for (int s = 0; s < 257; ++s) {
                const int w = (w0 + s) % 256;
                if (B[i][w] <= 16) {
                    ++k;
                } else if (k > best) {
                    best = k;
                    b = w;
                    k = 0;
                }
            }
            c[i] = b;
            for (int s = 0; s < 32; ++s)
                if (B[i][(b + s) % 256] > 32) {
                    c[i] = (b + s) % 256;
                    break;
                }
            q[i] = best;
        }
        cand = c;
        quiet = q;
        if (std::all_of(q.begin(), q.end(), [](int v) { return v > 128; })) {
            if (cands.size() == 100) {
                for (int i = 0; i < length; ++i) --H[i][cands.front()[i]];
                cands.erase(cands.begin());
            }
            cands.push_back(c);
            for (int i = 0; i < length; ++i) ++H[i][c[i]];
            for (int i = 0; i < length; ++i)
                base[i] = static_cast<int>(std::max_element(H[i].begin(), H[i].end()) - H[i].begin());
        }

        std::vector<int> d(length, 0);
        if (cands.size() > 10)
            for (int i = 0; i < length; ++i) d[i] = TNX7_HistoryB::AsymDiff(frame[i], base[i]);
        const int m = length - 1;
        std::vector<int> F(length), G(length);
        F[0] = d[0];
        for (int i = 1; i <= m; ++i) F[i] = F[i - 1] + TNX7_HistoryB::SymDiff(d[i], d[i - 1]);
        G[m] = d[m];
        for (int i = m - 1; i >= 0; --i) G[i] = G[i + 1] + TNX7_HistoryB::SymDiff(d[i], d[i + 1]);
        bool ok = true;
        for (int i = 0; i <= m; ++i) ok = ok && std::abs(F[i] - G[i] - (F[0] - G[0])) <= 1;
        std::vector<float> out(length);
        for (int i = 0; i < length; ++i) out[i] = static_cast<float>(ok ? F[i] : 0) * scaler;
        return out;
    }

    int length = 0;
    int capacity = 6000;
    std::vector<std::vector<uint8_t>> ring;
    std::vector<std::vector<int>> A, B, H, cands;
    std::vector<int> base, cand, quiet;
};

// Every wire has a level and noise; touches come and go at random places and heights, some
// levels sit near 255 so touches wrap, and now and then the level of a wire jumps or the count
// of wires changes.
TEST(HistoryReference, SameOutputAsPlainModel)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        std::mt19937 rng(seed);
        auto h = std::make_unique<TNX7_HistoryB>();
        PlainHistory ref;
        h->SetScaler(2.0f);
        h->SetRate(10);
        ref.SetRate(10);

        int wires = 12;
        std::vector<int> level(64);
        for (int& l : level) l = static_cast<int>(rng() % 256);
        int noise = 2;
        int outputs = 0, baselineMoves = 0;
        std::vector<int> lastBase(64, 0);
        for (int frame = 0; frame < 2500; ++frame) {
            if (frame % 700 == 699) wires = wires == 12 ? 9 : 12;
            if (frame % 300 == 150) level[rng() % 64] = static_cast<int>(rng() % 256);
            // Small steps of a level: the old and new ranges overlap near the lower edge.
            if (frame % 90 == 45) level[rng() % wires] += static_cast<int>(rng() % 41) - 20;
            if (frame % 400 == 200) noise = static_cast<int>(rng() % 6);
            if (frame == 1200) {
                h->SetRate(11);   // capacity 660: the history shrinks a frame at a time
                ref.SetRate(11);
            }
            std::vector<uint8_t> in(wires);
            const bool touched = (frame / 37) % 3 == 1;
            const int at = static_cast<int>(rng() % wires);
            const int height = 30 + static_cast<int>(rng() % 170);
            for (int i = 0; i < wires; ++i) {
                int v = level[i] + static_cast<int>(rng() % (2 * noise + 1)) - noise;
                if (touched) v += height / (1 + 3 * std::abs(i - at));
                in[i] = static_cast<uint8_t>(v & 255);
            }
            h->Input(nullptr, wires, in.data());
            const auto want = ref.Input(in, 2.0f);
            ASSERT_EQ(h->GetLength(), static_cast<int>(want.size())) << "seed " << seed << " frame " << frame;
            for (int i = 0; i < h->GetLength(); ++i) {
                ASSERT_EQ(h->GetData()[i], want[i]) << "seed " << seed << " frame " << frame << " wire " << i;
                ASSERT_EQ(h->GetBaseline(i), ref.base[i]) << "seed " << seed << " frame " << frame;
                ASSERT_EQ(h->GetCandidate(i), ref.cand[i]) << "seed " << seed << " frame " << frame;
                ASSERT_EQ(h->GetQuietCount(i), ref.quiet[i]) << "seed " << seed << " frame " << frame;
                if (want[i] != 0.0f) ++outputs;
                if (ref.base[i] != lastBase[i]) ++baselineMoves;
                lastBase[i] = ref.base[i];
            }
        }
        // The run must have reached the states worth comparing.
        EXPECT_GT(outputs, 10000) << "seed " << seed;
        EXPECT_GT(baselineMoves, 40) << "seed " << seed;
    }
}

}  // namespace
