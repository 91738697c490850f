#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "driver/proc/packetsplitterb.h"
#include "probe.h"
#include "share/sharevarbase.h"

namespace {

// Frame bytes numbered by position, so each output byte names where it came from.
std::vector<uint8_t> Numbered(int n)
{
    std::vector<uint8_t> f(n);
    std::iota(f.begin(), f.end(), uint8_t{0});
    return f;
}

std::vector<uint8_t> Range(int from, int to)   // inclusive, either direction
{
    std::vector<uint8_t> r;
    if (from <= to)
        for (int i = from; i <= to; ++i) r.push_back(static_cast<uint8_t>(i));
    else
        for (int i = from; i >= to; --i) r.push_back(static_cast<uint8_t>(i));
    return r;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SplitCase {
    std::string name;
    int split0, split1, flip0, flip1, flip2;
    int length;
    std::vector<uint8_t> x, y;
};

class SplitterCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitterCases, CutsFrameIntoAxes)
{
    const SplitCase& c = GetParam();
    TNX7_PacketSplitterB s;
    s.SetSplit0(c.split0);
    s.SetSplit1(c.split1);
    s.SetFlip0(c.flip0);
    s.SetFlip1(c.flip1);
    s.SetFlip2(c.flip2);

    RawProbe px, py, pr;
    std::vector<char> order;
    s.OnRawX = [&](void* snd, int n, const uint8_t* d) { order.push_back('X'); px.Handler()(snd, n, d); };
    s.OnRawY = [&](void* snd, int n, const uint8_t* d) { order.push_back('Y'); py.Handler()(snd, n, d); };
    s.OnRaw = [&](void* snd, int n, const uint8_t* d) { order.push_back('R'); pr.Handler()(snd, n, d); };

    const auto frame = Numbered(c.length);
    s.Input(nullptr, c.length, frame.data());

    ASSERT_EQ(order, (std::vector<char>{'X', 'Y', 'R'}));
    EXPECT_EQ(px.Last().values, c.x);
    EXPECT_EQ(py.Last().values, c.y);
    // The whole frame is the X array followed directly by the Y array.
    EXPECT_EQ(pr.Last().length, c.length);
    EXPECT_EQ(pr.Last().values, Cat(c.x, c.y));
    EXPECT_EQ(py.Last().data, px.Last().data + px.Last().length);
    EXPECT_EQ(px.Last().sender, &s);
}

INSTANTIATE_TEST_SUITE_P(
    Segments, SplitterCases,
    ::testing::Values(
        SplitCase{"AllZero64", 0, 0, 0, 0, 0, 64, Range(0, 31), Range(32, 63)},
        SplitCase{"AllZero65", 0, 0, 0, 0, 0, 65, Range(0, 31), Range(32, 64)},
        SplitCase{"Shipped64", 12, 40, 0, 0, 1, 64, Cat(Range(0, 11), Range(63, 52)), Range(12, 51)},
        SplitCase{"Shipped54", 12, 40, 0, 0, 1, 54, Cat(Range(0, 11), Range(53, 52)), Range(12, 51)},
        SplitCase{"Shipped52MiddleCoversRest", 12, 40, 0, 0, 1, 52, Range(0, 11), Range(12, 51)},
        SplitCase{"Shipped10FirstTooLong", 12, 40, 0, 0, 1, 10, Range(0, 4), Range(5, 9)},
        SplitCase{"Tail3", 12, 40, 0, 0, 0, 55, Cat(Range(0, 11), Range(52, 54)), Range(12, 51)},
        SplitCase{"FirstOnlyTooShort", 2, 0, 0, 0, 0, 20, Range(0, 9), Range(10, 19)},
        SplitCase{"FirstOnly", 12, 0, 0, 0, 0, 64, Range(0, 11), Range(12, 63)},
        SplitCase{"FirstOnlyLeavesYTooShort", 62, 0, 0, 0, 0, 64, Range(0, 31), Range(32, 63)},
        SplitCase{"FlipMiddle", 12, 40, 0, 1, 0, 64, Cat(Range(0, 11), Range(52, 63)), Range(51, 12)},
        SplitCase{"FlipFirst", 12, 40, 1, 0, 0, 64, Cat(Range(11, 0), Range(52, 63)), Range(12, 51)},
        SplitCase{"FlipAll", 12, 40, 1, 1, 1, 64, Cat(Range(11, 0), Range(63, 52)), Range(51, 12)},
        // X would be 1 + 2 = 3 wires: too short, halves and no rearranging.
        SplitCase{"ThreeSegmentXTooShort", 1, 40, 1, 1, 1, 43, Range(0, 20), Range(21, 42)},
        SplitCase{"ThreeSegmentYTooShort", 12, 3, 0, 1, 0, 30, Range(0, 14), Range(15, 29)},
        SplitCase{"TwoBytes", 0, 0, 0, 0, 0, 2, Range(0, 0), Range(1, 1)},
        SplitCase{"FullBuffer", 12, 40, 0, 0, 1, 256, Cat(Range(0, 11), Range(255, 52)), Range(12, 51)}),
    [](const auto& info) { return info.param.name; });

TEST(Splitter, ResetAndLengthZeroRaiseEmptyArrays)
{
    TNX7_PacketSplitterB s;
    RawProbe px, py, pr;
    s.OnRawX = px.Handler();
    s.OnRawY = py.Handler();
    s.OnRaw = pr.Handler();
    const uint8_t some[4] = {1, 2, 3, 4};

    s.Reset(nullptr);
    s.Input(nullptr, 0, some);   // length 0 is the reset signal even with data
    s.Input(nullptr, 0, nullptr);
    for (auto* p : {&px, &py, &pr}) {
        ASSERT_EQ(p->calls.size(), 3u);
        for (const auto& c : p->calls) {
            EXPECT_EQ(c.length, 0);
            EXPECT_EQ(c.data, nullptr);
        }
    }
}

TEST(Splitter, FramesItCannotCutRaiseNothing)
{
    TNX7_PacketSplitterB s;
    int raised = 0;
    s.OnRawX = s.OnRawY = s.OnRaw = [&](void*, int, const uint8_t*) { ++raised; };
    std::vector<uint8_t> big(300, 7);
    s.Input(nullptr, 1, big.data());
    s.Input(nullptr, 64, nullptr);
    s.Input(nullptr, -3, big.data());
    s.Input(nullptr, 257, big.data());   // beyond the splitter's buffer
    s.Input(nullptr, 300, big.data());
    EXPECT_EQ(raised, 0);
}

TEST(Splitter, UnassignedEventsAreSkipped)
{
    TNX7_PacketSplitterB s;
    RawProbe pr;
    s.OnRaw = pr.Handler();
    const auto frame = Numbered(64);
    s.Input(nullptr, 64, frame.data());
    s.Reset(nullptr);
    EXPECT_EQ(pr.calls.size(), 2u);
}

TEST(Splitter, SettersKeepRangeAndShareTheValue)
{
    TNX7_PacketSplitterB s;
    struct Row {
        void (TNX7_PacketSplitterB::*set)(int);
        int (TNX7_PacketSplitterB::*get)() const;
        int var;
        int in, expected;
    };
    const Row rows[] = {
        {&TNX7_PacketSplitterB::SetSplit0, &TNX7_PacketSplitterB::GetSplit0, 0, 100, 64},
        {&TNX7_PacketSplitterB::SetSplit0, &TNX7_PacketSplitterB::GetSplit0, 0, -5, 0},
        {&TNX7_PacketSplitterB::SetSplit0, &TNX7_PacketSplitterB::GetSplit0, 0, 12, 12},
        {&TNX7_PacketSplitterB::SetSplit1, &TNX7_PacketSplitterB::GetSplit1, 1, 65, 64},
        {&TNX7_PacketSplitterB::SetFlip0, &TNX7_PacketSplitterB::GetFlip0, 2, 3, 1},
        {&TNX7_PacketSplitterB::SetFlip1, &TNX7_PacketSplitterB::GetFlip1, 3, -1, 0},
        {&TNX7_PacketSplitterB::SetFlip2, &TNX7_PacketSplitterB::GetFlip2, 4, 1, 1},
    };
    for (const Row& r : rows) {
        (s.*r.set)(r.in);
        EXPECT_EQ((s.*r.get)(), r.expected) << "var " << r.var << " in " << r.in;
        EXPECT_EQ(s.GetShareVars().GetVar(r.var)->GetValueInt(), r.expected);
    }
}

TEST(Splitter, SharedVariablesAreRegisteredInOrder)
{
    TNX7_PacketSplitterB s;
    const char* names[] = {"Split0", "Split1", "Flip0", "Flip1", "Flip2"};
    ASSERT_EQ(s.GetShareVars().GetCount(), 5);
    for (int i = 0; i < 5; ++i) {
        TShareVarBase* v = s.GetShareVars().GetVar(i);
        EXPECT_EQ(v->GetSecName(), "Split");
        EXPECT_EQ(v->GetVarName(), names[i]);
        EXPECT_EQ(v->GetVarType(), "Int");
        EXPECT_EQ(v->GetVarCount(), 1);
        EXPECT_TRUE(v->GetSaveable());
        EXPECT_EQ(v->GetValueInt(), 0);
    }
}

TEST(Splitter, ChangeHandlersLimitButDoNotWriteBack)
{
    TNX7_PacketSplitterB s;
    TShareVarBase* split0 = s.GetShareVars().GetVar(0);
    TShareVarBase* flip2 = s.GetShareVars().GetVar(4);

    split0->SetValueIntX(100);
    s.DoSplit0Change(split0);
    EXPECT_EQ(s.GetSplit0(), 64);
    EXPECT_EQ(split0->GetValueInt(), 100);

    split0->SetValueIntX(-5);
    s.DoSplit0Change(split0);
    EXPECT_EQ(s.GetSplit0(), 0);

    flip2->SetValueIntX(7);
    s.DoFlip2Change(flip2);
    EXPECT_EQ(s.GetFlip2(), 1);
}

TEST(Splitter, ReverseCopy)
{
    const uint8_t src[5] = {1, 2, 3, 4, 5};
    uint8_t dst[5] = {};
    TNX7_PacketSplitterB::xmemcpy(dst, src, 5, 2);   // any non-zero flip reverses
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 5), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
    TNX7_PacketSplitterB::xmemcpy(dst, src, 5, 0);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

}  // namespace
