// Shared variable of float elements (type code "Flo", 4 byte(s) each).
#pragma once

#include "share/sharevarbase.h"

class TShareVarFloat : public TShareVarBase {
public:
    TShareVarFloat();
    ~TShareVarFloat() override;

    void LoadIni(MemIniFile& file) override;
    void SaveIni(MemIniFile& file) override;
    int TestIni(MemIniFile& file) override;
    std::string GetVarType() const override { return "Flo"; }
    int SizeOfValue() const override { return 4; }
    void ClearPendingWrite() override;

    float GetValueFloatA(int index) override;
    void SetValueFloatA(int index, float value) override;
    void SetValueFloatXA(int index, float value) override;
};
