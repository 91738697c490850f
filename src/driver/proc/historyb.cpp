#include "driver/proc/historyb.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kWindow = 10;        // values per window-histogram bin
constexpr int kBusy = 16;          // a bin above this is part of the occupied range
constexpr int kSolid = 32;         // lower edge of the occupied range proper
constexpr int kEdgeSearch = 32;    // bins searched above the quiet stretch for that edge
constexpr int kMinQuiet = 128;     // every wire must leave more than half the circle quiet
constexpr int kMinCandidates = 10; // candidate sets needed before any output

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
    }
    FBaseline.fill(0);
    FDiff.fill(0);
    FExtDiff.fill(0);
    FOutput.fill(0.0f);
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
            for (int k = 0; k < kWindow; ++k) --FWindowHist[i][(v + k) & 255];
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
        for (int k = 0; k < kWindow; ++k) ++FWindowHist[i][(v + k) & 255];
    }
    FWriteIndex = (FWriteIndex + 1) % MaxCapacity;
    ++FFrameCount;
}

void TNX7_HistoryB::FindCandidates()
{
    for (int i = 0; i < FLength; ++i) {
        FCand[i] = 0;
        FQuiet[i] = 0;
        const auto& B = FWindowHist[i];

        int start = -1;
        for (int w = 0; w < 256; ++w) {
            if (B[w] > kBusy) {
                start = w;
                break;
            }
        }
        if (start < 0) continue;

        // Walk once round the circle (back onto the busy start bin) and keep the longest quiet
        // count seen at a busy bin. The count is only cleared when it sets a new best.
        int k = 0, q = 0, b = start;
        for (int s = 0; s <= 256; ++s) {
            const int w = (start + s) & 255;
            if (B[w] <= kBusy) {
                ++k;
            } else if (k > q) {
                q = k;
                b = w;
                k = 0;
            }
        }

        int c = b;
        for (int s = 0; s < kEdgeSearch; ++s) {
            const int w = (b + s) & 255;
            if (B[w] > kSolid) {
                c = w;
                break;
            }
        }
        FCand[i] = c;
        FQuiet[i] = q;
    }
}

void TNX7_HistoryB::RecordCandidates()
{
    for (int i = 0; i < FLength; ++i)
        if (FQuiet[i] <= kMinQuiet) return;

    auto& slot = FCandRing[FCandIndex];
    if (FCandFill >= CandidateSlots)
        for (int i = 0; i < FLength; ++i) --FCandHist[i][slot[i]];
    for (int i = 0; i < FLength; ++i) {
        slot[i] = FCand[i];
        ++FCandHist[i][FCand[i]];
    }
    FCandIndex = (FCandIndex + 1) % CandidateSlots;
    if (FCandFill < CandidateSlots) ++FCandFill;

    for (int i = 0; i < FLength; ++i) {
        // Most frequent candidate; the lowest value wins a tie.
        const auto& H = FCandHist[i];
        int best = 0, bestCount = H[0];
        for (int v = 1; v < 256; ++v) {
            if (H[v] > bestCount) {
                bestCount = H[v];
                best = v;
            }
        }
        FBaseline[i] = best;
    }
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
