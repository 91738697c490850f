#include "driver/touch/grapher.h"

#include <algorithm>
#include <string>

TNX7_Grapher::TNX7_Grapher() {
    FLength = FShare.AddItem("Grapher0", "Length", "Int", 1, nullptr, nullptr, false);
    FDiff = FShare.AddItem("Grapher0", "Diff", "Float", DiffCount, nullptr, nullptr, false);
}

void TNX7_Grapher::SetChannel(int n) {
    if (n == FChannel) return;
    FChannel = n;
    const std::string sec = "Grapher" + std::to_string(n);
    FLength->SetSecName(sec);
    FDiff->SetSecName(sec);
}

void TNX7_Grapher::Input(void*, int count, const float* values) {
    if (count > 0 && values && FLength->GetSlaveCount() >= 1) {
        const int n = std::min(count, DiffCount);
        for (int i = 0; i < n; ++i)
            FDiff->SetValueFloatXA(i, values[i]);
        // The length goes last and posts the change, so the panel reads complete data.
        FLength->SetValueInt(count);
    }
    if (OnOutput) OnOutput(this, count, values);
}
