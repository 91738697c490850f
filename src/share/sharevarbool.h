// Shared variable of bool elements (type code "Boo", 1 byte(s) each).
#pragma once

#include "share/sharevarbase.h"

class TShareVarBool : public TShareVarBase {
public:
    TShareVarBool();
    ~TShareVarBool() override;

    void LoadIni(MemIniFile& file) override;
    void SaveIni(MemIniFile& file) override;
    int TestIni(MemIniFile& file) override;
    std::string GetVarType() const override { return "Boo"; }
    int SizeOfValue() const override { return 1; }
    void ClearPendingWrite() override;

    bool GetValueBoolA(int index) override;
    void SetValueBoolA(int index, bool value) override;
    void SetValueBoolXA(int index, bool value) override;
};
