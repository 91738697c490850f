// Shared variable of int32_t elements (type code "Int", 4 byte(s) each).
#pragma once

#include "share/sharevarbase.h"

class TShareVarInt : public TShareVarBase {
public:
    TShareVarInt();
    ~TShareVarInt() override;

    void LoadIni(MemIniFile& file) override;
    void SaveIni(MemIniFile& file) override;
    int TestIni(MemIniFile& file) override;
    std::string GetVarType() const override { return "Int"; }
    int SizeOfValue() const override { return 4; }
    void ClearPendingWrite() override;

    int32_t GetValueIntA(int index) override;
    void SetValueIntA(int index, int32_t value) override;
    void SetValueIntXA(int index, int32_t value) override;
};
