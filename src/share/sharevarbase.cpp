#include "share/sharevarbase.h"

#include <cmath>

#include "platform/shm.h"
#include "share/meminifile.h"
#include "share/sharemanbase.h"

namespace {
constexpr uint32_t kLockTimeoutMs = 1000;
constexpr int kMaxCount = 128;
} // namespace

TShareVarBase::TShareVarBase() {
    // The typed constructors size the local buffer: the element size is theirs.
    TShareManBase::GetShareManBase()->DoRegisterAdd(this);
}

TShareVarBase::~TShareVarBase() {
    OnChange = nullptr;
    OnPoll = nullptr;
    OnActiveChange = nullptr;
    OnMasterChange = nullptr;
    if (TShareManBase* m = TShareManBase::Existing()) m->DoRegisterRemove(this);
    DoClose();
}

// --- allocation --------------------------------------------------------------------------------

std::string TShareVarBase::BlockName(const std::string& grpName) const {
    return "Mem" + grpName + FSecName + FVarName + GetVarType() + std::to_string(FVarCount);
}

std::string TShareVarBase::MutexName(const std::string& grpName) const {
    return "Mut" + grpName + FSecName + FVarName + GetVarType() + std::to_string(FVarCount);
}

void TShareVarBase::DoMasterAllocate(uint8_t& idCounter) {
    DoSlaveAllocate();
    if (FBlock) {
        ++idCounter; // 8-bit: the 256th distinct variable gets 0 and posts nothing
        FBlock[1] = idCounter;
    }
}

void TShareVarBase::DoSlaveAllocate() {
    DoClose();
    const std::string grp = GetGrpName();
    FMutex = ShmMutex::Open(MutexName(grp));
    if (!FMutex) {
        DoClose();
        return;
    }
    const size_t bytes = 2 + static_cast<size_t>(SizeOfValue()) * static_cast<size_t>(FVarCount);
    FMapping = ShmObject::Open(BlockName(grp), bytes);
    if (!FMapping) {
        DoClose();
        return;
    }
    FBlock = FMapping->Data();
    FValues = SizeOfValue() * FVarCount > 0 ? FBlock + 2 : nullptr;
    FCount = FBlock[0];
}

void TShareVarBase::DoDeAllocate() {
    DoClose();
}

void TShareVarBase::DoClose() {
    FBlock = nullptr;
    FValues = nullptr;
    FMapping.reset();
    FMutex.reset();
    FLockHeld = false;
}

uint8_t TShareVarBase::GetID() const {
    return FBlock ? FBlock[1] : 0;
}

// --- names and size ----------------------------------------------------------------------------

namespace {
bool NamesEditable() {
    TShareManBase* m = TShareManBase::Existing();
    return m && !m->GetActive();
}
} // namespace

void TShareVarBase::SetSecName(const std::string& name) {
    if (NamesEditable()) FSecName = name;
}

void TShareVarBase::SetVarName(const std::string& name) {
    if (NamesEditable()) FVarName = name;
}

void TShareVarBase::SetVarCount(int n) {
    if (!NamesEditable()) return;
    if (n < 1) n = 1;
    if (n > kMaxCount) n = kMaxCount;
    FVarCount = n;
    SizeLocal(n);
}

void TShareVarBase::SizeLocal(int n) {
    FLocal.assign(static_cast<size_t>(SizeOfValue()) * static_cast<size_t>(n), 0);
}

uint8_t* TShareVarBase::LocalValuePtr(int index) {
    const int size = SizeOfValue();
    if (index < 0 || index >= FVarCount || size <= 0) return nullptr;
    const size_t off = static_cast<size_t>(index) * static_cast<size_t>(size);
    if (off + static_cast<size_t>(size) > FLocal.size()) return nullptr;
    return FLocal.data() + off;
}

uint8_t* TShareVarBase::ShareValuePtr(int index) {
    if (!FValues || index < 0 || index >= FVarCount) return nullptr;
    return FValues + static_cast<size_t>(index) * static_cast<size_t>(SizeOfValue());
}

// --- lock protocol -----------------------------------------------------------------------------

void TShareVarBase::Lock() {
    FLockHeld = false;
    if (FMutex) FLockHeld = FMutex->Lock(kLockTimeoutMs);
}

void TShareVarBase::ReadUnLock() {
    if (FBlock) FCount = FBlock[0];
    if (FLockHeld && FMutex) FMutex->Unlock();
    FLockHeld = false;
}

void TShareVarBase::WriteUnLockX() {
    if (FBlock) {
        // Our own copy plus one, not the block's: two writers that have not read in between may
        // store the same counter.
        ++FCount;
        FBlock[0] = FCount;
    }
    if (FLockHeld && FMutex) FMutex->Unlock();
    FLockHeld = false;
}

void TShareVarBase::WriteUnLock() {
    WriteUnLockX();
    // Posted only after the variable's mutex is released: never two mutexes at once.
    if (TShareManBase* m = TShareManBase::Existing()) m->DoSignalChange(this);
}

void TShareVarBase::RefreshLocal(int index, uint8_t* local, int size) {
    uint8_t* share = ShareValuePtr(index);
    if (!share) return;
    // A master with unsent values keeps seeing them until the next tick flushes them.
    if (FPendingWrite && GetMaster()) return;
    Lock();
    std::memcpy(local, share, static_cast<size_t>(size));
    ReadUnLock();
}

void TShareVarBase::StoreLocal(int index, const uint8_t* local, int size, bool post) {
    uint8_t* share = ShareValuePtr(index);
    if (!share) {
        FPendingWrite = true;
        return;
    }
    Lock();
    std::memcpy(share, local, static_cast<size_t>(size));
    if (post)
        WriteUnLock();
    else
        WriteUnLockX();
}

void TShareVarBase::FlushPending() {
    if (!FPendingWrite) return;
    Lock();
    const int size = SizeOfValue();
    for (int i = 0; i < FVarCount; ++i) {
        uint8_t* local = LocalValuePtr(i);
        uint8_t* share = ShareValuePtr(i);
        if (!local || !share) break;
        std::memcpy(share, local, static_cast<size_t>(size));
        FPendingWrite = false;
    }
    WriteUnLock();
}

void TShareVarBase::ClearPendingWrite() {
    FPendingWrite = false;
}

// --- base-class defaults: no type, no values ----------------------------------------------------

void TShareVarBase::LoadIni(MemIniFile&) {}
void TShareVarBase::SaveIni(MemIniFile&) {}
int TShareVarBase::TestIni(MemIniFile&) {
    return 0;
}
std::string TShareVarBase::GetVarType() const {
    return "";
}
int TShareVarBase::SizeOfValue() const {
    return 0;
}

bool TShareVarBase::GetValueBoolA(int) {
    return false;
}
void TShareVarBase::SetValueBoolA(int, bool) {}
void TShareVarBase::SetValueBoolXA(int, bool) {}
int32_t TShareVarBase::GetValueIntA(int) {
    return 0;
}
void TShareVarBase::SetValueIntA(int, int32_t) {}
void TShareVarBase::SetValueIntXA(int, int32_t) {}
float TShareVarBase::GetValueFloatA(int) {
    return 0.0f;
}
void TShareVarBase::SetValueFloatA(int, float) {}
void TShareVarBase::SetValueFloatXA(int, float) {}
double TShareVarBase::GetValueDoubleA(int) {
    return 0.0;
}
void TShareVarBase::SetValueDoubleA(int, double) {}
void TShareVarBase::SetValueDoubleXA(int, double) {}

std::string TShareVarBase::IniKey() const {
    return FVarName + GetVarType() + std::to_string(FVarCount);
}

// --- events ------------------------------------------------------------------------------------

void TShareVarBase::DoSignalChange() {
    TShareManBase* m = TShareManBase::Existing();
    if (m && m->GetActive() && OnChange) OnChange(this);
}

void TShareVarBase::DoSignalPoll() {
    TShareManBase* m = TShareManBase::Existing();
    if (m && m->GetActive() && OnPoll) OnPoll(this);
}

void TShareVarBase::DoSignalActiveChange() {
    if (OnActiveChange) OnActiveChange(this);
}

void TShareVarBase::DoSignalMasterChange() {
    if (OnMasterChange) OnMasterChange(this);
}

// --- forwarders --------------------------------------------------------------------------------

std::string TShareVarBase::GetGrpName() const {
    TShareManBase* m = TShareManBase::Existing();
    return m ? m->GetGrpName() : std::string();
}
void TShareVarBase::SetGrpName(const std::string& name) {
    if (TShareManBase* m = TShareManBase::Existing()) m->SetGrpName(name);
}
bool TShareVarBase::GetMaster() const {
    TShareManBase* m = TShareManBase::Existing();
    return m && m->GetMaster();
}
void TShareVarBase::SetMaster(bool v) {
    if (TShareManBase* m = TShareManBase::Existing()) m->SetMaster(v);
}
bool TShareVarBase::GetActive() const {
    TShareManBase* m = TShareManBase::Existing();
    return m && m->GetActive();
}
void TShareVarBase::SetActive(bool v) {
    if (TShareManBase* m = TShareManBase::Existing()) m->SetActive(v);
}
int TShareVarBase::GetRegisterCount() const {
    TShareManBase* m = TShareManBase::Existing();
    return m ? m->GetRegisterCount() : 0;
}
int TShareVarBase::GetSlaveCount() const {
    TShareManBase* m = TShareManBase::Existing();
    return m ? m->GetSlaveCount() : 0;
}
bool TShareVarBase::GetDirty() const {
    TShareManBase* m = TShareManBase::Existing();
    return m && m->GetDirty();
}
void TShareVarBase::SetDirty(bool v) {
    if (TShareManBase* m = TShareManBase::Existing()) m->SetDirty(v);
}

// --- rounding helpers --------------------------------------------------------------------------

double TShareVarBase::Granulate(double value, double step) {
    const double s = step >= 0.000001 ? step : 0.000001;
    return s * std::floor(value / s + 0.5);
}

float TShareVarBase::Granulate(float value, float step) {
    return static_cast<float>(Granulate(static_cast<double>(value), static_cast<double>(step)));
}

bool TShareVarBase::IsDiff(double a, double b, double tolerance) {
    const double t = tolerance >= 0.000001 ? tolerance : 0.000001;
    return std::fabs(a - b) > t;
}

bool TShareVarBase::IsDiff(float a, float b, float tolerance) {
    const float t = tolerance >= 0.000001f ? tolerance : 0.000001f;
    return std::fabs(static_cast<double>(a) - static_cast<double>(b)) > static_cast<double>(t);
}
