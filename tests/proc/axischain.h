// One axis of scan processing wired stage to stage as the driver's form wires it: baseline
// history, then coarse/fine, time spread, spread, deslope, exponential convolution, edge
// sensitise, normalise and the dual-peak finder, with the sanity check tapping the history.
// Inactive stages pass their input on, so "effective" is the driver's running chain (history,
// convolution, finder) and "every stage" switches the rest on too.
#pragma once

#include <memory>

#include "driver/proc/coarsefine.h"
#include "driver/proc/convolveexp.h"
#include "driver/proc/deslope.h"
#include "driver/proc/edgesensitize.h"
#include "driver/proc/historyb.h"
#include "driver/proc/normalise.h"
#include "driver/proc/procdualpeakb.h"
#include "driver/proc/sanitycheck.h"
#include "driver/proc/spread.h"
#include "driver/proc/timespread.h"

struct AxisChain {
    std::unique_ptr<TNX7_HistoryB> history = std::make_unique<TNX7_HistoryB>();  // ~600 KB
    TNX7_CoarseFine cf;
    TNX7_TimeSpread ts;
    TNX7_Spread sp;
    TNX7_Deslope ds;
    TNX7_ConvolveExp cv;
    TNX7_EdgeSensitize es;
    TNX7_Normalise nm;
    TNX7_ProcDualPeakB dp;
    TNX7_SanityCheck sc;

    explicit AxisChain(bool everyStage)
    {
        history->SetScaler(2.0f);
        history->SetRate(44);
        cv.SetActive(true);
        dp.SetActive(true);
        if (everyStage) {
            cf.SetActive(true);
            ts.SetActive(true);
            ts.SetHistory(2);
            sp.SetActive(true);
            sp.SetSpread(0.3f);
            ds.SetActive(true);
            es.SetActive(true);
            nm.SetActive(true);
            nm.SetMode(4);
        }
        sc.OnReset = [](void*) {};
        history->OnOutput = [this](void* s, int n, const float* d) {
            cf.Input(s, n, d);
            sc.Input(s, n, d);
        };
        cf.OnOutput = [this](void* s, int n, const float* d) { ts.Input(s, n, d); };
        ts.OnOutput = [this](void* s, int n, const float* d) { sp.Input(s, n, d); };
        sp.OnOutput = [this](void* s, int n, const float* d) { ds.Input(s, n, d); };
        ds.OnOutput = [this](void* s, int n, const float* d) { cv.Input(s, n, d); };
        cv.OnOutput = [this](void* s, int n, const float* d) { es.Input(s, n, d); };
        es.OnOutput = [this](void* s, int n, const float* d) { nm.Input(s, n, d); };
        nm.OnOutput = [this](void* s, int n, const float* d) { dp.Input(s, n, d); };
    }
};
