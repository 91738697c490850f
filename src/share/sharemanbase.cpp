#include "share/sharemanbase.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/mainloop.h"
#include "platform/shm.h"
#include "share/ipthread.h"
#include "share/meminifile.h"
#include "share/sharevarbase.h"

namespace {

TShareManBase* gInstance = nullptr;
uint32_t gDeactivatePauseMs = 1000;

constexpr uint32_t kLockTimeoutMs = 1000;
constexpr uint32_t kFastPollMs = 50;
constexpr uint32_t kSlowPollMs = 1000;
constexpr uint32_t kReconcileMs = 1000;

// Group block offsets.
constexpr int kMasterPresent = 0;
constexpr int kSlaveCount = 1;
constexpr int kWriteIndex = 4;
constexpr int kRing = 8;

// Beside the group block ("Own" + GrpName): which processes are attached. The group block keeps
// its layout; this object lets a new process tell a crashed master or panel from a live one.
struct GroupOwners {
    uint32_t generation; // stepped by every master activation; the ring restarts at 0 with it
    uint32_t reserved;
    ProcessStamp master;
    ProcessStamp slaves[256];
};

GroupOwners* Owners(const std::unique_ptr<ShmObject>& o) {
    return o ? reinterpret_cast<GroupOwners*>(o->Data()) : nullptr;
}

void ZeroValues(TShareVarBase* v) {
    const int size = v->SizeOfValue();
    for (int i = 0; i < v->GetVarCount(); ++i)
        if (uint8_t* p = v->ShareValuePtr(i)) std::memset(p, 0, static_cast<size_t>(size));
}

} // namespace

TShareManBase* TShareManBase::GetShareManBase() {
    if (!gInstance) gInstance = new TShareManBase();
    return gInstance;
}

TShareManBase* TShareManBase::Existing() {
    return gInstance;
}

void TShareManBase::SetDeactivatePause(uint32_t ms) {
    gDeactivatePauseMs = ms;
}
uint32_t TShareManBase::GetDeactivatePause() {
    return gDeactivatePauseMs;
}

TShareManBase::TShareManBase() = default;

TShareManBase::~TShareManBase() {
    OnMonitor = nullptr;
    SetActive(false);
    if (gInstance == this) gInstance = nullptr;
}

// --- registration ------------------------------------------------------------------------------

void TShareManBase::DoRegisterAdd(TShareVarBase* var) {
    if (!var || GetActive()) return;
    if (std::find(FVars.begin(), FVars.end(), var) == FVars.end()) FVars.push_back(var);
}

void TShareManBase::DoRegisterRemove(TShareVarBase* var) {
    FVars.erase(std::remove(FVars.begin(), FVars.end(), var), FVars.end());
    for (auto& list : FLookup)
        list.erase(std::remove(list.begin(), list.end(), var), list.end());
    if (FVars.empty()) DestroyIfUnused();
}

void TShareManBase::DestroyIfUnused() {
    if (!FInPoll) {
        delete this;
        return;
    }
    // The last variable went away inside a poll tick: finish the tick first.
    if (FDeletePosted) return;
    FDeletePosted = true;
    MainLoop* loop = FLoop ? FLoop : &MainLoop::Current();
    loop->Post([this] {
        FDeletePosted = false;
        if (gInstance == this && FVars.empty()) delete this;
    });
}

// --- properties --------------------------------------------------------------------------------

bool TShareManBase::GetActive() const {
    return FThread != nullptr;
}

void TShareManBase::SetMaster(bool master) {
    if (GetActive() || master == FMaster) return;
    FMaster = master;
    DoSignalMasterChange();
}

void TShareManBase::SetGrpName(const std::string& name) {
    if (!GetActive()) FGrpName = name;
}

int TShareManBase::GetSlaveCount() const {
    return FBlock ? FBlock[kSlaveCount] : 0;
}

bool TShareManBase::GetMasterPresent() const {
    return FBlock && FBlock[kMasterPresent] != 0;
}

uint32_t TShareManBase::NowMs() const {
    return FLoop ? FLoop->NowMs() : GetTickCount();
}

// --- group block -------------------------------------------------------------------------------

int TShareManBase::ReadWriteIndex() const {
    int32_t w = 0;
    std::memcpy(&w, FBlock + kWriteIndex, sizeof w);
    // Another process may have stored anything here: never index the ring out of range.
    return static_cast<int>(static_cast<uint32_t>(w) % RingSize);
}

void TShareManBase::StoreWriteIndex(int index) {
    const int32_t w = index;
    std::memcpy(FBlock + kWriteIndex, &w, sizeof w);
}

bool TShareManBase::LockGroup() {
    return FMutex && FMutex->Lock(kLockTimeoutMs);
}

void TShareManBase::UnlockGroup(bool held) {
    if (held && FMutex) FMutex->Unlock();
}

void TShareManBase::Reconcile() {
    GroupOwners* o = Owners(FOwners);
    if (!o || !FBlock) return;
    if (FBlock[kMasterPresent] != 0 && o->master.pid != 0 && !o->master.Alive()) {
        // The master was killed without deactivating.
        FBlock[kMasterPresent] = 0;
        o->master = ProcessStamp{};
    }
    if (GetActive() && FMaster) {
        // Our own presence: repair it if someone overwrote it.
        FBlock[kMasterPresent] = 1;
        o->master = ProcessStamp::Self();
    }
    int live = 0;
    for (ProcessStamp& s : o->slaves) {
        if (s.pid == 0) continue;
        if (s.Alive())
            ++live;
        else
            s = ProcessStamp{};
    }
    FBlock[kSlaveCount] = static_cast<uint8_t>(std::min(live, 255));
}

void TShareManBase::MaybeReconcile() {
    const uint32_t now = NowMs();
    if (now - FLastReconcile < kReconcileMs) return;
    FLastReconcile = now;
    if (!FOwners) return;
    const bool held = LockGroup();
    Reconcile();
    UnlockGroup(held);
}

// --- activation --------------------------------------------------------------------------------

void TShareManBase::SetActive(bool active) {
    if (active == GetActive()) return;
    if (active) {
        auto mutex = ShmMutex::Open("Mut" + FGrpName);
        if (!mutex) return;
        auto mapping = ShmObject::Open("Mem" + FGrpName, GroupBlockSize);
        if (!mapping) return;
        FMutex = std::move(mutex);
        FMapping = std::move(mapping);
        FBlock = FMapping->Data();
        // Optional: without it we behave as before, only without crash recovery.
        FOwners = ShmObject::Open("Own" + FGrpName, sizeof(GroupOwners));
        GroupOwners* o = Owners(FOwners);

        const bool held = LockGroup();
        Reconcile();
        // Nobody alive holds the group: the blocks are left over from an earlier session. Start
        // from zero, as a newly created block would.
        const bool fresh = o && FBlock[kMasterPresent] == 0 && FBlock[kSlaveCount] == 0;
        if (FMaster && FBlock[kMasterPresent] != 0) FMaster = false; // a master runs already
        if (FMaster) {
            uint8_t idCounter = 0;
            for (size_t i = 0; i < FVars.size(); ++i) {
                TShareVarBase* v = FVars[i];
                bool shared = false;
                for (size_t j = 0; j < i && !shared; ++j)
                    shared = FVars[j]->GetSecName() == v->GetSecName() &&
                             FVars[j]->GetVarName() == v->GetVarName() &&
                             FVars[j]->GetVarType() == v->GetVarType();
                if (shared)
                    v->DoSlaveAllocate();
                else
                    v->DoMasterAllocate(idCounter);
                if (fresh) ZeroValues(v);
            }
            StoreWriteIndex(0);
            FReadIndex = 0;
            if (o) {
                o->master = ProcessStamp::Self();
                FGeneration = ++o->generation;
            }
            FBlock[kMasterPresent] = 1;
        } else {
            for (TShareVarBase* v : FVars) {
                v->DoSlaveAllocate();
                if (fresh) ZeroValues(v);
            }
            FReadIndex = ReadWriteIndex();
            if (o) {
                FGeneration = o->generation;
                for (ProcessStamp& s : o->slaves)
                    if (s.pid == 0) {
                        s = ProcessStamp::Self();
                        break;
                    }
            }
            if (FBlock[kSlaveCount] < 255) ++FBlock[kSlaveCount];
        }
        UnlockGroup(held);

        FThread = std::make_unique<TIPThread>(FLoop);
        FThread->SetInterval(kFastPollMs);
        FThread->OnPoll = [this](TIPThread* t) { DoPoll(t); };
        FThread->SetRun(true);
        FLastReconcile = NowMs();
        FRebuild = true;
        DoSignalActiveChange();
        return;
    }

    // Deactivation: no tick may run from here on.
    FThread->SetRun(false);
    FThread->OnPoll = nullptr;
    if (FInPoll) {
        // Switched off from inside a tick: the timer object must outlive the running tick.
        TIPThread* t = FThread.release();
        (FLoop ? FLoop : &MainLoop::Current())->Post([t] { delete t; });
    } else {
        FThread.reset();
    }
    if (gDeactivatePauseMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(gDeactivatePauseMs));

    const bool held = LockGroup();
    for (TShareVarBase* v : FVars)
        v->DoDeAllocate();
    if (FBlock) {
        GroupOwners* o = Owners(FOwners);
        const ProcessStamp self = ProcessStamp::Self();
        if (FMaster) {
            if (FBlock[kMasterPresent] == 1) FBlock[kMasterPresent] = 0;
            if (o && o->master.pid == self.pid) o->master = ProcessStamp{};
        } else {
            if (FBlock[kSlaveCount] != 0) --FBlock[kSlaveCount];
            if (o)
                for (ProcessStamp& s : o->slaves)
                    if (s.pid == self.pid) {
                        s = ProcessStamp{};
                        break;
                    }
        }
    }
    UnlockGroup(held);
    FBlock = nullptr;
    FOwners.reset();
    FMapping.reset();
    FMutex.reset();
    DoSignalActiveChange();
}

// --- posting and polling -----------------------------------------------------------------------

void TShareManBase::DoSignalChange(TShareVarBase* sender) {
    if (!sender || !GetActive() || !FBlock) return;
    const uint8_t id = sender->GetID();
    if (id == 0 || FBlock[kMasterPresent] == 0) return;
    const bool held = LockGroup();
    const int w = ReadWriteIndex();
    FBlock[kRing + w] = id;
    StoreWriteIndex((w + 1) % RingSize);
    UnlockGroup(held);
}

void TShareManBase::DoPoll(void*) {
    if (FInPoll) return;
    FInPoll = true;
    if (GetActive()) {
        MaybeReconcile();
        const uint32_t interval = GetSlaveCount() != 0 ? kFastPollMs : kSlowPollMs;
        if (FThread->GetInterval() != interval) FThread->SetInterval(interval);
    }
    DoPoll1();
    DoPoll2();
    FInPoll = false;
}

void TShareManBase::DoPoll1() {
    if (!GetActive() || !FBlock) return;
    if (FBlock[kMasterPresent] == 0) {
        FRebuild = true;
        return;
    }
    const bool held = LockGroup();
    if (GroupOwners* o = Owners(FOwners); o && o->generation != FGeneration) {
        // A new master started the ring over at 0; what is behind us belongs to the old one.
        FGeneration = o->generation;
        if (!FMaster) FReadIndex = 0;
        FRebuild = true;
    }
    const int w = ReadWriteIndex();
    int r = FReadIndex % RingSize;
    if (r < w) {
        std::memcpy(FLocalRing.data() + r, FBlock + kRing + r, static_cast<size_t>(w - r));
    } else if (w < r) {
        std::memcpy(FLocalRing.data() + r, FBlock + kRing + r, static_cast<size_t>(RingSize - r));
        std::memcpy(FLocalRing.data(), FBlock + kRing, static_cast<size_t>(w));
    }
    UnlockGroup(held);
    if (r == w) return;

    if (FRebuild) {
        FRebuild = false;
        for (auto& list : FLookup)
            list.clear();
        for (TShareVarBase* v : FVars)
            FLookup[v->GetID()].push_back(v);
    }
    while (r != w) {
        const uint8_t k = FLocalRing[static_cast<size_t>(r)];
        r = (r + 1) % RingSize;
        FReadIndex = r;
        if (k == 0) continue;
        // Handlers may remove variables: index, and re-check the size every step.
        for (size_t j = 0; j < FLookup[k].size(); ++j) {
            FLookup[k][j]->DoSignalChange();
            if (!GetActive()) return;
        }
        if (OnMonitor) OnMonitor(this, k);
        if (!GetActive()) return;
    }
}

void TShareManBase::DoPoll2() {
    for (size_t i = 0; i < FVars.size(); ++i) {
        FVars[i]->ClearPendingWrite();
        if (i < FVars.size()) FVars[i]->DoSignalPoll();
    }
}

void TShareManBase::DoSignalActiveChange() {
    for (size_t i = 0; i < FVars.size(); ++i)
        FVars[i]->DoSignalActiveChange();
}

void TShareManBase::DoSignalMasterChange() {
    for (size_t i = 0; i < FVars.size(); ++i)
        FVars[i]->DoSignalMasterChange();
}

// --- INI ---------------------------------------------------------------------------------------

void TShareManBase::LoadIni() {
    if (FFileName.empty()) return;
    try {
        MemIniFile file(FFileName);
        LoadIni(file);
    } catch (...) {
    }
}

void TShareManBase::LoadIni(MemIniFile& file) {
    for (size_t i = 0; i < FVars.size(); ++i) {
        if (!FVars[i]->GetSaveable()) continue;
        try {
            FVars[i]->LoadIni(file);
        } catch (...) {
        }
    }
}

void TShareManBase::SaveIni() {
    if (FFileName.empty()) return;
    try {
        MemIniFile file(FFileName);
        SaveIni(file);
        file.UpdateFile();
    } catch (...) {
    }
}

void TShareManBase::SaveIni(MemIniFile& file) {
    for (size_t i = 0; i < FVars.size(); ++i) {
        if (!FVars[i]->GetSaveable()) continue;
        try {
            FVars[i]->SaveIni(file);
        } catch (...) {
        }
    }
}

int TShareManBase::TestIni() {
    if (FFileName.empty()) return 0;
    try {
        MemIniFile file(FFileName);
        return TestIni(file);
    } catch (...) {
        return 0;
    }
}

int TShareManBase::TestIni(MemIniFile& file) {
    int n = 0;
    for (size_t i = 0; i < FVars.size(); ++i) {
        if (!FVars[i]->GetSaveable()) continue;
        try {
            n += FVars[i]->TestIni(file);
        } catch (...) {
        }
    }
    return n;
}

void TShareManBase::SaveAll(const std::string& name) {
    if (name.empty()) return;
    try {
        MemIniFile file(name);
        SaveAll(file);
        file.UpdateFile();
    } catch (...) {
    }
}

void TShareManBase::SaveAll(MemIniFile& file) {
    for (size_t i = 0; i < FVars.size(); ++i) {
        try {
            FVars[i]->SaveIni(file);
        } catch (...) {
        }
    }
}
