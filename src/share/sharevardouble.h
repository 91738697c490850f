// Shared variable of double elements (type code "Dou", 8 byte(s) each).
#pragma once

#include "share/sharevarbase.h"

class TShareVarDouble : public TShareVarBase {
public:
    TShareVarDouble();
    ~TShareVarDouble() override;

    void LoadIni(MemIniFile& file) override;
    void SaveIni(MemIniFile& file) override;
    int TestIni(MemIniFile& file) override;
    std::string GetVarType() const override { return "Dou"; }
    int SizeOfValue() const override { return 8; }
    void ClearPendingWrite() override;

    double GetValueDoubleA(int index) override;
    void SetValueDoubleA(int index, double value) override;
    void SetValueDoubleXA(int index, double value) override;
};
