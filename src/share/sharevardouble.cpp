#include "share/sharevardouble.h"

#include "share/meminifile.h"

TShareVarDouble::TShareVarDouble() {
    SizeLocal(FVarCount);
}
TShareVarDouble::~TShareVarDouble() = default;

void TShareVarDouble::ClearPendingWrite() {
    FlushPending();
}

double TShareVarDouble::GetValueDoubleA(int index) {
    return GetElement<double>(index);
}
void TShareVarDouble::SetValueDoubleA(int index, double value) {
    SetElement<double>(index, value, true);
}
void TShareVarDouble::SetValueDoubleXA(int index, double value) {
    SetElement<double>(index, value, false);
}

void TShareVarDouble::LoadIni(MemIniFile& file) {
    const double v = file.ReadFloat(FSecName, IniKey(), GetValueDouble());
    SetValueDouble(Granulate(v, 0.0));
}

void TShareVarDouble::SaveIni(MemIniFile& file) {
    file.WriteFloat(FSecName, IniKey(), Granulate(GetValueDouble(), 0.0));
}

int TShareVarDouble::TestIni(MemIniFile& file) {
    const double v = GetValueDouble();
    const double r = file.ReadFloat(FSecName, IniKey(), v + 1.0);
    return IsDiff(r, v, 0.01) ? 1 : 0;
}
