#include "driver/proc/historyb.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int kWindow = 10;        // values per window-histogram bin
constexpr int kBusy = 16;          // a bin above this is part of the occupied range
constexpr int kSolid = 32;         // lower edge of the occupied range proper
constexpr int kEdgeSearch = 32;    // bins searched above the quiet stretch for that edge
constexpr int kMinQuiet = 128;     // every wire must leave more than half the circle quiet
constexpr int kMinCandidates = 10; // candidate sets needed before any output

using Bins = std::array<uint64_t, 4>;

inline void SetBin(Bins& bins, int w) { bins[w >> 6] |= uint64_t{1} << (w & 63); }
inline void ClearBin(Bins& bins, int w) { bins[w >> 6] &= ~(uint64_t{1} << (w & 63)); }

// 64 bins starting at bin `from`, wrapping past 255; bit k is bin from + k.
inline uint64_t BinsFrom(const Bins& bins, int from)
{
    from &= 255;
    const int word = from >> 6, shift = from & 63;
    const uint64_t lo = bins[word] >> shift;
    if (shift == 0) return lo;
    return lo | (bins[(word + 1) & 3] << (64 - shift));
}

// Steps from bin `from` (counting from 0, wrapping) to the first bin set in `bins`, looking at
// most `limit` bins ahead; `limit` when there is none that close.
inline int StepsToSet(const Bins& bins, int from, int limit)
{
    for (int done = 0; done < limit; done += 64) {
        const uint64_t chunk = BinsFrom(bins, from + done);
        if (chunk) {
            const int k = done + std::countr_zero(chunk);
            return k < limit ? k : limit;
        }
    }
    return limit;
}

inline int StepsToClear(const Bins& bins, int from, int limit)
{
    for (int done = 0; done < limit; done += 64) {
        const uint64_t chunk = ~BinsFrom(bins, from + done);
        if (chunk) {
            const int k = done + std::countr_zero(chunk);
            return k < limit ? k : limit;
        }
    }
    return limit;
}

}  // namespace

TNX7_HistoryB::TNX7_HistoryB() = default;

int TNX7_HistoryB::AsymDiff(int a, int b)
{
    const int d = (a - b) & 255;
    return d < 200 ? d : d - 256;
}

int TNX7_HistoryB::SymDiff(int a, int b)
{
    const int d = (a - b) & 255;
    return d < 128 ? d : d - 256;
}

int TNX7_HistoryB::GetBaseline(int channel) const
{
    if (channel < 0 || channel >= MaxChannels) return 0;
    return FBaseline[channel];
}

int TNX7_HistoryB::GetCandidate(int channel) const
{
    if (channel < 0 || channel >= MaxChannels) return 0;
    return FCand[channel];
}

int TNX7_HistoryB::GetQuietCount(int channel) const
{
    if (channel < 0 || channel >= MaxChannels) return 0;
    return FQuiet[channel];
}

void TNX7_HistoryB::SetScaler(float value)
{
    if (!(value >= 0.1f)) value = 0.1f;
    if (value > 10.0f) value = 10.0f;
    FScaler = value;
}

void TNX7_HistoryB::SetRate(int value)
{
    FRate = std::clamp(value, 10, 100);
    FCapacity = 60 * FRate;
}

void TNX7_HistoryB::Init()
{
    FLength = std::clamp(FLength, MinChannels, MaxChannels);
    FFrameCount = 0;
    FWriteIndex = 0;
    FReadIndex = 0;
    FCandFill = 0;
    FCandIndex = 0;
    for (int i = 0; i < FLength; ++i) {
        FValueHist[i].fill(0);
        FWindowHist[i].fill(0);
        FCandHist[i].fill(0);
        FBusy[i].fill(0);
        FSolid[i].fill(0);
        FCandMode[i] = 0;
    }
    FBaseline.fill(0);
    FDiff.fill(0);
    FExtDiff.fill(0);
    FOutput.fill(0.0f);
}

void TNX7_HistoryB::WindowAdd(int channel, int value)
{
    auto& B = FWindowHist[channel];
    for (int k = 0; k < kWindow; ++k) {
        const int w = (value + k) & 255;
        const int count = ++B[w];
        if (count == kBusy + 1) SetBin(FBusy[channel], w);
        if (count == kSolid + 1) SetBin(FSolid[channel], w);
    }
}

void TNX7_HistoryB::WindowRemove(int channel, int value)
{
    auto& B = FWindowHist[channel];
    for (int k = 0; k < kWindow; ++k) {
        const int w = (value + k) & 255;
        const int count = --B[w];
        if (count == kBusy) ClearBin(FBusy[channel], w);
        if (count == kSolid) ClearBin(FSolid[channel], w);
    }
}

void TNX7_HistoryB::CandidateAdd(int channel, int value)
{
    auto& H = FCandHist[channel];
    const int count = ++H[value];
    int& mode = FCandMode[channel];
    if (count > H[mode] || (count == H[mode] && value < mode)) mode = value;
}

void TNX7_HistoryB::CandidateRemove(int channel, int value)
{
    auto& H = FCandHist[channel];
    --H[value];
    int& mode = FCandMode[channel];
    if (value != mode) return;
    // The leader lost one: search again, the lowest value winning a tie.
    int best = 0, bestCount = H[0];
    for (int v = 1; v < 256; ++v) {
        if (H[v] > bestCount) {
            bestCount = H[v];
            best = v;
        }
    }
    mode = best;
}

void TNX7_HistoryB::RemoveFromHistory()
{
    // At most two frames per input, so a lowered capacity is reached gradually.
    for (int pass = 0; pass < 2; ++pass) {
        if (FFrameCount < FCapacity || FFrameCount <= 0) return;
        const auto& old = FRing[FReadIndex];
        for (int i = 0; i < FLength; ++i) {
            const int v = old[i];
            --FValueHist[i][v];
            WindowRemove(i, v);
        }
        FReadIndex = (FReadIndex + 1) % MaxCapacity;
        --FFrameCount;
    }
}

void TNX7_HistoryB::AddToHistory(const uint8_t* frame)
{
    auto& slot = FRing[FWriteIndex];
    for (int i = 0; i < FLength; ++i) {
        const int v = frame[i];
        slot[i] = frame[i];
        ++FValueHist[i][v];
        WindowAdd(i, v);
    }
    FWriteIndex = (FWriteIndex + 1) % MaxCapacity;
    ++FFrameCount;
}

void TNX7_HistoryB::FindCandidates()
{
    for (int i = 0; i < FLength; ++i) {
        FCand[i] = 0;
        FQuiet[i] = 0;
        const Bins& busy = FBusy[i];

        const int start = StepsToSet(busy, 0, 256);
        if (start >= 256) continue;   // nothing busy: no candidate

        // Walk once round the circle (back onto the busy start bin) and keep the longest quiet
        // count seen at a busy bin. The count is only cleared when it sets a new best, so quiet
        // stretches separated by busy bins that set no best add up. Only the first busy bin after
        // a quiet stretch can change anything, so the walk goes from stretch to stretch.
        int k = 0, q = 0, b = start;
        int s = 0;   // steps from start; step 256 is the start bin again
        while (s < 256) {
            const int quietFrom = s + StepsToClear(busy, start + s, 256 - s);
            if (quietFrom >= 256) break;
            const int busyAt = quietFrom + StepsToSet(busy, start + quietFrom, 256 - quietFrom);
            k += busyAt - quietFrom;
            if (k > q) {
                q = k;
                b = (start + busyAt) & 255;
                k = 0;
            }
            s = busyAt;
        }

        // The lower edge proper: the first solid bin within 32 above the quiet stretch.
        const int up = StepsToSet(FSolid[i], b, kEdgeSearch);
        FCand[i] = up < kEdgeSearch ? (b + up) & 255 : b;
        FQuiet[i] = q;
    }
}

void TNX7_HistoryB::RecordCandidates()
{
    for (int i = 0; i < FLength; ++i)
        if (FQuiet[i] <= kMinQuiet) return;

    auto& slot = FCandRing[FCandIndex];
    const bool full = FCandFill >= CandidateSlots;
    for (int i = 0; i < FLength; ++i) {
        if (full) {
            if (slot[i] == FCand[i]) continue;   // same value out and in: counts unchanged
            CandidateRemove(i, slot[i]);
        }
        slot[i] = FCand[i];
        CandidateAdd(i, FCand[i]);
    }
    FCandIndex = (FCandIndex + 1) % CandidateSlots;
    if (FCandFill < CandidateSlots) ++FCandFill;

    // The baseline is the most frequent recent candidate, the lowest value winning a tie.
    for (int i = 0; i < FLength; ++i) FBaseline[i] = FCandMode[i];
}

void TNX7_HistoryB::CalcExtDiff()
{
    // Rebuild the profile from each end by signed-byte steps between neighbours; if the two
    // disagree somewhere the frame holds an ambiguous half-circle step and is dropped.
    const int m = FLength - 1;
    std::array<int, MaxChannels> F{}, G{};
    F[0] = FDiff[0];
    for (int i = 1; i <= m; ++i) F[i] = F[i - 1] + SymDiff(FDiff[i], FDiff[i - 1]);
    G[m] = FDiff[m];
    for (int i = m - 1; i >= 0; --i) G[i] = G[i + 1] + SymDiff(FDiff[i], FDiff[i + 1]);

    const int r = F[0] - G[0];
    bool consistent = true;
    for (int i = 0; i <= m; ++i) {
        if (std::abs(F[i] - G[i] - r) > 1) {
            consistent = false;
            break;
        }
    }
    for (int i = 0; i <= m; ++i) FExtDiff[i] = consistent ? F[i] : 0;
}

void TNX7_HistoryB::Scale()
{
    for (int i = 0; i < FLength; ++i) FOutput[i] = static_cast<float>(FExtDiff[i]) * FScaler;
}

void TNX7_HistoryB::Input(void* /*theSender*/, int theLength, const uint8_t* theData)
{
    if (theLength <= 0 || theData == nullptr) {
        FLength = 0;
        if (OnOutput) OnOutput(this, 0, FOutput.data());
        return;
    }

    if (theLength != FLength) {
        FLength = theLength;
        Init();
    }

    // Never read past the caller's array: copy what exists, the rest of the working width is 0.
    const int have = std::min(theLength, FLength);
    std::copy_n(theData, have, FFrame.begin());
    std::fill(FFrame.begin() + have, FFrame.begin() + FLength, uint8_t{0});

    RemoveFromHistory();
    AddToHistory(FFrame.data());
    FindCandidates();
    RecordCandidates();

    if (FCandFill > kMinCandidates) {
        for (int i = 0; i < FLength; ++i) FDiff[i] = AsymDiff(FFrame[i], FBaseline[i]);
    } else {
        for (int i = 0; i < FLength; ++i) FDiff[i] = 0;
    }
    CalcExtDiff();
    Scale();

    if (OnOutput) OnOutput(this, FLength, FOutput.data());
}
