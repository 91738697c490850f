#include "share/sharevarint.h"

#include "share/meminifile.h"

TShareVarInt::TShareVarInt() {
    SizeLocal(FVarCount);
}
TShareVarInt::~TShareVarInt() = default;

void TShareVarInt::ClearPendingWrite() {
    FlushPending();
}

int32_t TShareVarInt::GetValueIntA(int index) {
    return GetElement<int32_t>(index);
}
void TShareVarInt::SetValueIntA(int index, int32_t value) {
    SetElement<int32_t>(index, value, true);
}
void TShareVarInt::SetValueIntXA(int index, int32_t value) {
    SetElement<int32_t>(index, value, false);
}

void TShareVarInt::LoadIni(MemIniFile& file) {
    SetValueInt(file.ReadInteger(FSecName, IniKey(), GetValueInt()));
}

void TShareVarInt::SaveIni(MemIniFile& file) {
    file.WriteInteger(FSecName, IniKey(), GetValueInt());
}

int TShareVarInt::TestIni(MemIniFile& file) {
    const int32_t v = GetValueInt();
    // v + 1 without signed overflow at the top of the range.
    const int32_t other = static_cast<int32_t>(static_cast<uint32_t>(v) + 1u);
    return file.ReadInteger(FSecName, IniKey(), other) != v ? 1 : 0;
}
