// Event signatures by which components are joined. The sender comes first; an unset event is
// skipped by the raiser.
#pragma once

#include <cstdint>
#include <functional>

// Plain notification: OnReset, OnSave, OnStart …
using TNotifyEvent = std::function<void(void* theSender)>;

// Scan array event on raw bytes: the link's OnRawData, the splitter's OnRawX/OnRawY/OnRaw.
// Length is the element count; length 0 with no data is the reset signal of the graph.
// The array belongs to the raiser and is valid only during the call.
using TRawArrayEvent = std::function<void(void* theSender, int theLength, const uint8_t* theRawData)>;

// Scan array event on single-precision values: every stage after the baseline history.
using TFloatArrayEvent = std::function<void(void* theSender, int theLength, const float* theData)>;

// Fused touch report: position, the X and Y peak strengths, touch level and press level.
using TXYEvent = std::function<void(void* theSender, float theX, float theY, float theMX, float theMY,
                                    float theMTT, float theMPT)>;

// From calibration on: one strength, the smaller of the two.
using TXYMEvent = std::function<void(void* theSender, float theX, float theY, float theM, float theMTT,
                                     float theMPT)>;
