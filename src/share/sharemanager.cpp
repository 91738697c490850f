#include "share/sharemanager.h"

#include "share/meminifile.h"
#include "share/sharemanbase.h"

namespace {
TShareManBase* Man() {
    return TShareManBase::Existing();
}
} // namespace

TShareManager::~TShareManager() {
    // The callback we handed over usually points into our owner, which is going away too.
    if (FOnMonitor && Man()) Man()->OnMonitor = nullptr;
}

TShareManBase* TShareManager::GetShareManBase() const {
    return TShareManBase::GetShareManBase();
}

std::string TShareManager::GetFileName() const {
    return Man() ? Man()->GetFileName() : std::string();
}
void TShareManager::SetFileName(const std::string& name) {
    if (Man()) Man()->SetFileName(name);
}
std::string TShareManager::GetGrpName() const {
    return Man() ? Man()->GetGrpName() : std::string();
}
void TShareManager::SetGrpName(const std::string& name) {
    if (Man()) Man()->SetGrpName(name);
}
bool TShareManager::GetMaster() const {
    return Man() && Man()->GetMaster();
}
void TShareManager::SetMaster(bool master) {
    if (Man()) Man()->SetMaster(master);
}
bool TShareManager::GetActive() const {
    return Man() && Man()->GetActive();
}
void TShareManager::SetActive(bool active) {
    if (!Man()) return;
    Man()->SetActive(active);
    if (Man()) Man()->OnMonitor = FOnMonitor;
}
int TShareManager::GetRegisterCount() const {
    return Man() ? Man()->GetRegisterCount() : 0;
}
bool TShareManager::GetDirty() const {
    return Man() && Man()->GetDirty();
}
void TShareManager::SetDirty(bool dirty) {
    if (Man()) Man()->SetDirty(dirty);
}
int TShareManager::GetSlaveCount() const {
    return Man() ? Man()->GetSlaveCount() : 0;
}

void TShareManager::LoadIni() {
    if (Man()) Man()->LoadIni();
}
void TShareManager::LoadIni(MemIniFile& file) {
    if (Man()) Man()->LoadIni(file);
}
int TShareManager::TestIni() {
    return Man() ? Man()->TestIni() : 0;
}
int TShareManager::TestIni(MemIniFile& file) {
    return Man() ? Man()->TestIni(file) : 0;
}
void TShareManager::SaveIni() {
    if (Man()) Man()->SaveIni();
}
void TShareManager::SaveIni(MemIniFile& file) {
    if (Man()) Man()->SaveIni(file);
}
void TShareManager::SaveAll(const std::string& name) {
    if (Man()) Man()->SaveAll(name);
}
void TShareManager::SaveAll(MemIniFile& file) {
    if (Man()) Man()->SaveAll(file);
}

void TShareManager::SetOnMonitor(std::function<void(void* theSender, int theID)> cb) {
    FOnMonitor = std::move(cb);
    if (Man()) Man()->OnMonitor = FOnMonitor;
}
