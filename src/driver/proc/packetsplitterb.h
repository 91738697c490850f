// Cuts one scan frame into the X and the Y channel arrays, each in wire order.
//
// The sensor may scan part of X, then Y, then the rest of X, with some runs reversed. Split0 is the
// length of the first X run, Split1 the length of the Y run, the rest of the frame is the second X
// run; Flip0/Flip1/Flip2 reverse the first, middle and last run. Frames that cannot be cut as set
// fall back to halves. Per frame the events come in the order OnRawX, OnRawY, OnRaw.
#pragma once

#include <array>
#include <cstdint>

#include "share/events.h"
#include "share/sharevarpoly.h"

class TShareVarBase;

class TNX7_PacketSplitterB {
public:
    // Frames longer than this are refused (nothing raised); the link never delivers more than 128.
    static constexpr int MaxFrame = 256;

    TNX7_PacketSplitterB();
    TNX7_PacketSplitterB(const TNX7_PacketSplitterB&) = delete;
    TNX7_PacketSplitterB& operator=(const TNX7_PacketSplitterB&) = delete;

    // One frame of bytes. Length 0 is the reset signal (see Reset); a frame of 1 byte, a negative
    // length or no data raises nothing.
    void Input(void* theSender, int theLength, const uint8_t* theData);
    // Raises OnRawX, OnRawY and OnRaw with length 0 and no data.
    void Reset(void* theSender);

    int GetSplit0() const { return FSplit0; }
    int GetSplit1() const { return FSplit1; }
    int GetFlip0() const { return FFlip0; }
    int GetFlip1() const { return FFlip1; }
    int GetFlip2() const { return FFlip2; }
    // Keep the value in range, store it and announce it through the shared variable.
    void SetSplit0(int value);
    void SetSplit1(int value);
    void SetFlip0(int value);
    void SetFlip1(int value);
    void SetFlip2(int value);

    // Shared-variable handlers: store the limited value in the property only.
    void DoSplit0Change(TShareVarBase* theSender);
    void DoSplit1Change(TShareVarBase* theSender);
    void DoFlip0Change(TShareVarBase* theSender);
    void DoFlip1Change(TShareVarBase* theSender);
    void DoFlip2Change(TShareVarBase* theSender);

    static int Limit(int value, int lo, int hi);
    // Copies count bytes; flip 0 keeps the order, any other value reverses it.
    static void xmemcpy(uint8_t* dst, const uint8_t* src, int count, int flip);

    // Section "Split": Split0, Split1, Flip0, Flip1, Flip2 in that order.
    TShareVarPoly& GetShareVars() { return FShareVars; }

    TRawArrayEvent OnRawX;
    TRawArrayEvent OnRawY;
    TRawArrayEvent OnRaw;

private:
    int FSplit0 = 0;
    int FSplit1 = 0;
    int FFlip0 = 0;
    int FFlip1 = 0;
    int FFlip2 = 0;
    std::array<uint8_t, MaxFrame> FBuffer{};
    TShareVarPoly FShareVars;
    TShareVarBase* FSplit0Var = nullptr;
    TShareVarBase* FSplit1Var = nullptr;
    TShareVarBase* FFlip0Var = nullptr;
    TShareVarBase* FFlip1Var = nullptr;
    TShareVarBase* FFlip2Var = nullptr;
};
