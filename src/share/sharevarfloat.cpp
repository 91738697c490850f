#include "share/sharevarfloat.h"

#include "share/meminifile.h"

TShareVarFloat::TShareVarFloat() {
    SizeLocal(FVarCount);
}
TShareVarFloat::~TShareVarFloat() = default;

void TShareVarFloat::ClearPendingWrite() {
    FlushPending();
}

float TShareVarFloat::GetValueFloatA(int index) {
    return GetElement<float>(index);
}
void TShareVarFloat::SetValueFloatA(int index, float value) {
    SetElement<float>(index, value, true);
}
void TShareVarFloat::SetValueFloatXA(int index, float value) {
    SetElement<float>(index, value, false);
}

void TShareVarFloat::LoadIni(MemIniFile& file) {
    const double v = file.ReadFloat(FSecName, IniKey(), static_cast<double>(GetValueFloat()));
    SetValueFloat(static_cast<float>(Granulate(v, 0.0)));
}

void TShareVarFloat::SaveIni(MemIniFile& file) {
    const float v = Granulate(GetValueFloat(), 0.0f);
    file.WriteFloat(FSecName, IniKey(), static_cast<double>(v));
}

int TShareVarFloat::TestIni(MemIniFile& file) {
    const float v = GetValueFloat();
    const float other = v + 1.0f;
    const float r =
        static_cast<float>(file.ReadFloat(FSecName, IniKey(), static_cast<double>(other)));
    return IsDiff(r, v, 0.01f) ? 1 : 0;
}
