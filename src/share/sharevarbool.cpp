#include "share/sharevarbool.h"

#include "share/meminifile.h"

TShareVarBool::TShareVarBool() {
    SizeLocal(FVarCount);
}
TShareVarBool::~TShareVarBool() = default;

void TShareVarBool::ClearPendingWrite() {
    FlushPending();
}

bool TShareVarBool::GetValueBoolA(int index) {
    return GetElement<uint8_t>(index) != 0;
}
void TShareVarBool::SetValueBoolA(int index, bool value) {
    SetElement<uint8_t>(index, value ? 1 : 0, true);
}
void TShareVarBool::SetValueBoolXA(int index, bool value) {
    SetElement<uint8_t>(index, value ? 1 : 0, false);
}

void TShareVarBool::LoadIni(MemIniFile& file) {
    const bool cur = GetValueBool();
    SetValueBool(file.ReadInteger(FSecName, IniKey(), cur ? 1 : 0) != 0);
}

void TShareVarBool::SaveIni(MemIniFile& file) {
    file.WriteString(FSecName, IniKey(), GetValueBool() ? "1" : "0");
}

int TShareVarBool::TestIni(MemIniFile& file) {
    const bool v = GetValueBool();
    const bool r = file.ReadInteger(FSecName, IniKey(), v ? 0 : 1) != 0;
    return r != v ? 1 : 0;
}
