// One process: the master's side of the shared variables, local-only behaviour, INI persistence.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/manualloop.h"
#include "platform/shm.h"
#include "share/ipthread.h"
#include "share/meminifile.h"
#include "share/sharemanager.h"
#include "share/sharemanbase.h"
#include "share/sharevarpoly.h"
#include "shmtest.h"

namespace {

class ShareTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TShareManBase::SetDeactivatePause(0);
        MainLoop::SetCurrent(&loop);
    }
    void TearDown() override {
        poly.reset();
        EXPECT_EQ(TShareManBase::Existing(), nullptr) << "manager outlived its variables";
        MainLoop::SetCurrent(nullptr);
    }

    TShareVarBase* Add(const std::string& sec, const std::string& name, const std::string& type,
                       int count = 1, bool saveable = true) {
        return poly->AddItem(sec, name, type, count, nullptr, nullptr, saveable);
    }
    TShareManBase* Man() { return TShareManBase::GetShareManBase(); }
    void ActivateMaster() {
        Man()->SetMaster(true);
        Man()->SetActive(true);
        ASSERT_TRUE(Man()->GetActive());
        ASSERT_TRUE(Man()->GetMaster());
    }
    void Tick() { Man()->DoPoll(nullptr); }
    // The group block as other processes see it.
    uint8_t* Group() {
        if (!group) group = ShmObject::Open("MemGrp", TShareManBase::GroupBlockSize);
        return group ? group->Data() : nullptr;
    }
    void SetWriteIndex(int32_t w) { std::memcpy(Group() + 4, &w, 4); }
    int32_t WriteIndex() {
        int32_t w;
        std::memcpy(&w, Group() + 4, 4);
        return w;
    }

    ShmNamespace ns;
    ManualLoop loop;
    std::unique_ptr<ShmObject> group;
    std::unique_ptr<TShareVarPoly> poly = std::make_unique<TShareVarPoly>();
};

const char* kTypes[] = {"Bool", "Int", "Float", "Double"};

// Writes 1 (or true) through the accessor of the variable's own type; reads the same way.
void WriteOne(TShareVarBase* v, int index, bool x = false) {
    const std::string t = v->GetVarType();
    if (t == "Boo") x ? v->SetValueBoolXA(index, true) : v->SetValueBoolA(index, true);
    if (t == "Int") x ? v->SetValueIntXA(index, 1) : v->SetValueIntA(index, 1);
    if (t == "Flo") x ? v->SetValueFloatXA(index, 1.0f) : v->SetValueFloatA(index, 1.0f);
    if (t == "Dou") x ? v->SetValueDoubleXA(index, 1.0) : v->SetValueDoubleA(index, 1.0);
}
double ReadAny(TShareVarBase* v, int index) {
    const std::string t = v->GetVarType();
    if (t == "Boo") return v->GetValueBoolA(index) ? 1.0 : 0.0;
    if (t == "Int") return v->GetValueIntA(index);
    if (t == "Flo") return v->GetValueFloatA(index);
    return v->GetValueDoubleA(index);
}

} // namespace

// --- local-only behaviour ----------------------------------------------------------------------

TEST_F(ShareTest, AddItemTypesCountsAndIndexes) {
    EXPECT_EQ(Add("S", "a", "bool"), nullptr); // type names are case-sensitive
    EXPECT_EQ(Add("S", "a", "Integer"), nullptr);
    EXPECT_EQ(poly->GetCount(), 0);

    struct Case {
        int count, expect;
    } counts[] = {{0, 1}, {-5, 1}, {1, 1}, {128, 128}, {500, 128}};
    for (const char* type : kTypes)
        for (const Case& c : counts) {
            TShareVarBase* v = Add("S", std::string("v") + type, type, c.count);
            ASSERT_NE(v, nullptr) << type;
            EXPECT_EQ(v->GetVarCount(), c.expect) << type << " " << c.count;
            EXPECT_EQ(v->GetSecName(), "S");
        }
    EXPECT_EQ(poly->GetCount(), 20);
    EXPECT_EQ(Man()->GetRegisterCount(), 20);
    EXPECT_EQ(poly->GetVar(-1), nullptr);
    EXPECT_EQ(poly->GetVar(poly->GetCount()), nullptr);
    EXPECT_NE(poly->GetVar(0), nullptr);
}

TEST_F(ShareTest, LocalValuesOutOfRangeAndWrongTypeAccessors) {
    for (const char* type : kTypes) {
        TShareVarBase* v = Add("S", std::string("arr") + type, type, 3);
        SCOPED_TRACE(type);
        EXPECT_FALSE(v->GetPendingWrite());
        WriteOne(v, 2);
        EXPECT_TRUE(v->GetPendingWrite()); // no block yet: the write waits
        EXPECT_EQ(ReadAny(v, 2), 1.0);
        EXPECT_EQ(ReadAny(v, 0), 0.0);
        // Outside 0..VarCount-1: reads answer 0, writes change nothing.
        WriteOne(v, 3);
        WriteOne(v, -1);
        EXPECT_EQ(ReadAny(v, 3), 0.0);
        EXPECT_EQ(ReadAny(v, -1), 0.0);
        EXPECT_EQ(v->LocalValuePtr(3), nullptr);
        EXPECT_EQ(v->LocalValuePtr(-1), nullptr);
        EXPECT_EQ(v->ShareValuePtr(0), nullptr);
        // Accessors of another type read 0 and ignore writes.
        v->SetValueIntA(0, 77);
        v->SetValueFloatA(0, 7.5f);
        v->SetValueDoubleA(0, 7.5);
        v->SetValueBoolA(0, true);
        EXPECT_EQ(ReadAny(v, 0), std::string(type) == "Bool"  ? 1.0
                                 : std::string(type) == "Int" ? 77.0
                                                              : 7.5);
        const std::string t = type;
        if (t != "Int") {
            EXPECT_EQ(v->GetValueIntA(0), 0);
        }
        if (t != "Bool") {
            EXPECT_FALSE(v->GetValueBoolA(0));
        }
        if (t != "Float") {
            EXPECT_EQ(v->GetValueFloatA(0), 0.0f);
        }
        if (t != "Double") {
            EXPECT_EQ(v->GetValueDoubleA(0), 0.0);
        }
    }
}

TEST_F(ShareTest, RoundingHelpers) {
    EXPECT_EQ(TShareVarBase::Granulate(0.05f, 0.0f), 0.05f);
    EXPECT_DOUBLE_EQ(TShareVarBase::Granulate(1.23456789, 0.0), 1.234568);
    EXPECT_EQ(TShareVarBase::Granulate(0.0000004f, 0.0f), 0.0f);
    EXPECT_EQ(TShareVarBase::Granulate(7.3, 0.5), 7.5);
    EXPECT_EQ(TShareVarBase::Granulate(-7.3, 2.0), -8.0);
    struct Diff {
        double a, b, tol;
        bool expect;
    } diffs[] = {{1.0, 1.005, 0.01, false},  {1.0, 1.02, 0.01, true},  {1.0, 1.009, 0.01, false},
                 {1.0, 1.0000005, 0, false}, {1.0, 1.000002, 0, true}, {2.0, 1.0, -3.0, true}};
    for (const Diff& d : diffs) {
        EXPECT_EQ(TShareVarBase::IsDiff(d.a, d.b, d.tol), d.expect) << d.a << " " << d.b;
        EXPECT_EQ(TShareVarBase::IsDiff(static_cast<float>(d.a), static_cast<float>(d.b),
                                        static_cast<float>(d.tol)),
                  d.expect)
            << "single " << d.a << " " << d.b;
    }
}

// --- allocation --------------------------------------------------------------------------------

TEST_F(ShareTest, BlockNamesSizesAndModes) {
    struct Case {
        const char* sec;
        const char* name;
        const char* type;
        int count;
        const char* block;
        off_t bytes;
    } cases[] = {
        {"Comm", "Port", "Int", 1, "MemGrpCommPortInt1", 6},
        {"Output", "Enabled", "Bool", 1, "MemGrpOutputEnabledBoo1", 3},
        {"Calib", "Mat", "Double", 1, "MemGrpCalibMatDou1", 10},
        {"Grapher0", "Data", "Float", 64, "MemGrpGrapher0DataFlo64", 258},
    };
    for (const Case& c : cases)
        Add(c.sec, c.name, c.type, c.count);
    ActivateMaster();
    for (size_t i = 0; i < std::size(cases); ++i) {
        TShareVarBase* v = poly->GetVar(static_cast<int>(i));
        EXPECT_EQ(v->BlockName("Grp"), cases[i].block);
        EXPECT_EQ(v->MutexName("Grp"), "Mut" + std::string(cases[i].block).substr(3));
        struct stat st {};
        ASSERT_EQ(stat(ns.Path(cases[i].block).c_str(), &st), 0) << cases[i].block;
        EXPECT_EQ(st.st_size, cases[i].bytes) << cases[i].block;
    }
    // Every object, variable blocks, mutexes and group, is private to this user.
    const auto files = ns.Files();
    EXPECT_GE(files.size(), 2 * std::size(cases) + 2);
    for (const std::string& f : files) {
        struct stat st {};
        ASSERT_EQ(stat(("/dev/shm/" + f).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
        EXPECT_EQ(st.st_uid, geteuid()) << f;
    }
}

TEST_F(ShareTest, IdsFollowRegistrationOrderAndEqualNamesShareABlock) {
    TShareVarBase* a = Add("S", "A", "Int");
    TShareVarBase* b = Add("S", "B", "Float");
    TShareVarBase* a2 = Add("S", "A", "Int");
    TShareVarBase* c = Add("S", "C", "Bool");
    TShareVarBase* wider = Add("S", "A", "Int", 2); // same names, other count: another block
    int changesA = 0, changesA2 = 0;
    a->OnChange = [&](TShareVarBase*) { ++changesA; };
    a2->OnChange = [&](TShareVarBase*) { ++changesA2; };
    EXPECT_EQ(a->GetID(), 0);
    ActivateMaster();
    EXPECT_EQ(a->GetID(), 1);
    EXPECT_EQ(b->GetID(), 2);
    EXPECT_EQ(a2->GetID(), 1);
    EXPECT_EQ(c->GetID(), 3);
    EXPECT_EQ(wider->GetID(), 0);
    a2->SetValueInt(5);
    EXPECT_EQ(a->GetValueInt(), 5);
    Tick();
    EXPECT_EQ(changesA, 1);
    EXPECT_EQ(changesA2, 1);
}

TEST_F(ShareTest, IdCounterWrapsAfter255Variables) {
    for (int i = 0; i < 257; ++i)
        Add("S", "v" + std::to_string(i), "Bool");
    ActivateMaster();
    EXPECT_EQ(poly->GetVar(0)->GetID(), 1);
    EXPECT_EQ(poly->GetVar(254)->GetID(), 255);
    EXPECT_EQ(poly->GetVar(255)->GetID(), 0); // posts nothing
    EXPECT_EQ(poly->GetVar(256)->GetID(), 1);
    poly->GetVar(255)->SetValueBool(true);
    EXPECT_EQ(WriteIndex(), 0);
}

TEST_F(ShareTest, NamesMasterGroupAndRegistrationFrozenWhileActive) {
    TShareVarBase* v = Add("S", "v", "Int", 2);
    int activeChanges = 0, masterChanges = 0;
    v->OnActiveChange = [&](TShareVarBase*) { ++activeChanges; };
    v->OnMasterChange = [&](TShareVarBase*) { ++masterChanges; };
    ActivateMaster();
    EXPECT_EQ(masterChanges, 1);
    EXPECT_EQ(activeChanges, 1);
    v->SetSecName("T");
    v->SetVarName("w");
    v->SetVarCount(5);
    Man()->SetGrpName("Other");
    Man()->SetMaster(false);
    EXPECT_EQ(v->GetSecName(), "S");
    EXPECT_EQ(v->GetVarName(), "v");
    EXPECT_EQ(v->GetVarCount(), 2);
    EXPECT_EQ(Man()->GetGrpName(), "Grp");
    EXPECT_TRUE(Man()->GetMaster());
    EXPECT_EQ(masterChanges, 1);

    TShareVarBase* late = Add("Late", "x", "Int", 4); // after activation: local only
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->GetSecName(), "Sec");
    EXPECT_EQ(late->GetVarName(), "Var");
    EXPECT_EQ(late->GetVarCount(), 1);
    EXPECT_EQ(Man()->GetRegisterCount(), 1);

    EXPECT_EQ(Group()[0], 1); // master present
    Man()->SetActive(false);
    EXPECT_EQ(activeChanges, 2);
    EXPECT_EQ(Group()[0], 0);
    EXPECT_EQ(v->GetID(), 0);
    EXPECT_EQ(v->ShareValuePtr(0), nullptr);
}

TEST_F(ShareTest, ShareManagerComponentForwards) {
    {
        TShareManager none; // no variable yet, so no manager: neutral answers
        EXPECT_EQ(none.GetGrpName(), "");
        EXPECT_FALSE(none.GetActive());
        EXPECT_EQ(none.GetRegisterCount(), 0);
        none.SetMaster(true);
        EXPECT_FALSE(none.GetMaster());
        EXPECT_EQ(TShareManBase::Existing(), nullptr);
    }
    TShareVarBase* v = Add("S", "v", "Int");
    int monitored = 0;
    {
        TShareManager man;
        man.SetOnMonitor([&](void*, int) { ++monitored; });
        man.SetFileName("x.ini");
        man.SetMaster(true);
        man.SetActive(true);
        EXPECT_EQ(Man()->GetFileName(), "x.ini");
        EXPECT_TRUE(man.GetActive());
        EXPECT_TRUE(man.GetMaster());
        EXPECT_EQ(man.GetRegisterCount(), 1);
        EXPECT_EQ(man.GetGrpName(), "Grp");
        v->SetValueInt(1);
        Tick();
        EXPECT_EQ(monitored, 1);
    }
    // The component's callback does not outlive it.
    v->SetValueInt(2);
    Tick();
    EXPECT_EQ(monitored, 1);
}

// --- writes, flush and dispatch ----------------------------------------------------------------

TEST_F(ShareTest, PendingStartValuesReachTheBlockOnTheFirstTick) {
    TShareVarBase* arr = Add("S", "arr", "Int", 4);
    for (int i = 0; i < 4; ++i)
        arr->SetValueIntXA(i, 10 + i);
    EXPECT_TRUE(arr->GetPendingWrite());
    std::vector<int> monitored;
    TShareManager man;
    man.SetOnMonitor([&](void*, int id) { monitored.push_back(id); });
    ActivateMaster();
    // The master still sees its unsent values; the block is untouched until the tick.
    EXPECT_EQ(arr->GetValueIntA(3), 13);
    int32_t inBlock = -1;
    std::memcpy(&inBlock, arr->ShareValuePtr(3), 4);
    EXPECT_EQ(inBlock, 0);
    Tick();
    EXPECT_FALSE(arr->GetPendingWrite());
    for (int i = 0; i < 4; ++i) {
        std::memcpy(&inBlock, arr->ShareValuePtr(i), 4);
        EXPECT_EQ(inBlock, 10 + i);
    }
    EXPECT_EQ(arr->GetCount(), 1); // one counter step for the whole array
    EXPECT_EQ(WriteIndex(), 1);    // one posted change
    EXPECT_TRUE(monitored.empty());
    Tick();
    EXPECT_EQ(monitored, std::vector<int>{1});
}

TEST_F(ShareTest, PlainWritesPostXWritesDoNot) {
    TShareVarBase* v = Add("S", "v", "Float");
    int changes = 0;
    v->OnChange = [&](TShareVarBase* s) {
        EXPECT_EQ(s, v);
        ++changes;
    };
    ActivateMaster();
    Tick();
    v->SetValueFloatX(2.5f);
    EXPECT_EQ(v->GetCount(), 1); // the counter still steps
    Tick();
    Tick();
    EXPECT_EQ(changes, 0);
    v->SetValueFloat(2.5f); // same value: still a change
    EXPECT_EQ(changes, 0);  // not before the next tick
    Tick();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(v->GetCount(), 2);
    Tick();
    EXPECT_EQ(changes, 1);
}

TEST_F(ShareTest, RingWrapsAroundInOrder) {
    std::vector<TShareVarBase*> vars;
    for (int i = 0; i < 29; ++i)
        vars.push_back(Add("S", "v" + std::to_string(i), "Int"));
    std::vector<int> seen;
    Man()->OnMonitor = [&](void*, int id) { seen.push_back(id); };
    ActivateMaster();
    for (int i = 0; i < 1000; ++i)
        vars[0]->SetValueInt(i);
    Tick();
    ASSERT_EQ(seen.size(), 1000u);
    seen.clear();
    // A reader at 1000 with the write index at 5 takes 1000..1023, then 0..4.
    for (int i = 0; i < 24; ++i)
        Group()[8 + 1000 + i] = static_cast<uint8_t>(i + 1);
    for (int i = 0; i < 5; ++i)
        Group()[8 + i] = static_cast<uint8_t>(25 + i);
    SetWriteIndex(5);
    Tick();
    std::vector<int> expect;
    for (int i = 1; i <= 29; ++i)
        expect.push_back(i);
    EXPECT_EQ(seen, expect);
    // Exactly 1024 behind looks like nothing happened (the ring has no overflow check).
    seen.clear();
    for (int i = 0; i < 1024; ++i)
        vars[1]->SetValueInt(i);
    Tick();
    EXPECT_TRUE(seen.empty());
}

TEST_F(ShareTest, CorruptGroupBlockNeverIndexesOutOfRange) {
    TShareVarBase* v = Add("S", "v", "Int");
    int changes = 0;
    v->OnChange = [&](TShareVarBase*) { ++changes; };
    std::vector<int> seen;
    Man()->OnMonitor = [&](void*, int id) { seen.push_back(id); };
    ActivateMaster();
    for (int32_t w : {5000, -7, INT_MIN, INT_MAX, 1024, 1023}) {
        SCOPED_TRACE(w);
        SetWriteIndex(w);
        Tick(); // reads entries up to wherever w points, within the ring
        v->SetValueInt(w);
        const int32_t after = WriteIndex();
        EXPECT_GE(after, 0);
        EXPECT_LT(after, 1024);
        seen.clear();
        changes = 0;
        Tick();
        EXPECT_EQ(changes, 1);
    }
    // IDs nobody registered are reported to the monitor and otherwise ignored.
    seen.clear();
    changes = 0;
    const int32_t w = WriteIndex();
    Group()[8 + w] = 200;
    Group()[8 + (w + 1) % 1024] = 0;
    Group()[8 + (w + 2) % 1024] = 255;
    SetWriteIndex((w + 3) % 1024);
    Tick();
    EXPECT_EQ(seen, (std::vector<int>{200, 255}));
    EXPECT_EQ(changes, 0);
}

TEST_F(ShareTest, SwitchingOffFromAHandlerEndsTheTickSafely) {
    TShareVarBase* term = Add("Status", "Terminate", "Int");
    TShareVarBase* other = Add("Status", "Other", "Int");
    int otherChanges = 0;
    term->OnChange = [&](TShareVarBase*) { Man()->SetActive(false); };
    other->OnChange = [&](TShareVarBase*) { ++otherChanges; };
    ActivateMaster();
    term->SetValueInt(1);
    other->SetValueInt(1);
    Tick();
    EXPECT_FALSE(Man()->GetActive());
    EXPECT_EQ(otherChanges, 0); // no dispatch after deactivation began
    loop.Advance(5000);         // the stopped timer never ticks again
    EXPECT_EQ(otherChanges, 0);
}

TEST_F(ShareTest, PollRunsOnTheLoopAndSlowsDownWithoutSlaves) {
    TShareVarBase* v = Add("S", "v", "Int");
    int polls = 0, changes = 0;
    v->OnPoll = [&](TShareVarBase*) { ++polls; };
    v->OnChange = [&](TShareVarBase*) { ++changes; };
    ActivateMaster();
    EXPECT_EQ(Man()->GetPollThread()->GetInterval(), 50u);
    loop.Advance(50);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(Man()->GetPollThread()->GetInterval(), 1000u); // alone: once a second
    v->SetValueInt(3);
    loop.Advance(999);
    EXPECT_EQ(changes, 0);
    loop.Advance(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(polls, 2);
}

// --- INI persistence ---------------------------------------------------------------------------

TEST_F(ShareTest, IniSaveTexts) {
    Add("Damped", "SnapRadius", "Float")->SetValueFloatX(0.05f);
    Add("Damped", "Tiny", "Float")->SetValueFloatX(0.0000004f);
    Add("Calib", "D", "Double")->SetValueDoubleX(1.23456789);
    Add("Output", "Enabled", "Bool")->SetValueBoolX(true);
    Add("Comm", "Port", "Int")->SetValueIntX(-3);
    Add("Comm", "Rate", "Int", 1, false)->SetValueIntX(9); // not saveable
    MemIniFile ini;
    Man()->SaveIni(ini);
    EXPECT_EQ(ini.Text(), "[Damped]\r\nSnapRadiusFlo1=0.0500000007450581\r\nTinyFlo1=0\r\n\r\n"
                          "[Calib]\r\nDDou1=1.234568\r\n\r\n"
                          "[Output]\r\nEnabledBoo1=1\r\n\r\n"
                          "[Comm]\r\nPortInt1=-3\r\n\r\n");
    MemIniFile all;
    Man()->SaveAll(all);
    EXPECT_EQ(all.ReadInteger("Comm", "RateInt1", 0), 9);

    // Reading the text back gives the same single-precision value.
    Man()->LoadIni(ini);
    EXPECT_EQ(poly->GetVar(0)->GetValueFloat(), 0.05f);
}

TEST_F(ShareTest, IniLoadValuesAndDefaults) {
    TShareVarBase* b2 = Add("S", "Two", "Bool");
    TShareVarBase* byes = Add("S", "Yes", "Bool");
    TShareVarBase* hex = Add("S", "Hex", "Int");
    TShareVarBase* junk = Add("S", "Junk", "Int");
    TShareVarBase* f = Add("S", "F", "Float");
    TShareVarBase* d = Add("S", "D", "Double");
    TShareVarBase* missing = Add("S", "Missing", "Float");
    TShareVarBase* notSaved = Add("S", "NotSaved", "Int", 1, false);
    byes->SetValueBoolX(true);
    junk->SetValueIntX(41);
    missing->SetValueFloatX(0.1234567f);
    notSaved->SetValueIntX(5);
    MemIniFile ini;
    ini.SetText("[s]\nTwoBoo1=2\nYesBoo1=yes\nHEXINT1=0x10\nJunkInt1=4x\nFFlo1=0.30000049\n"
                "DDou1=2.5e-7\nNotSavedInt1=99\n");
    int changes = 0;
    for (int i = 0; i < poly->GetCount(); ++i)
        poly->GetVar(i)->OnChange = [&](TShareVarBase*) { ++changes; };
    ActivateMaster();
    Tick(); // flushes the start values
    Tick();
    changes = 0;
    Man()->LoadIni(ini);
    EXPECT_TRUE(b2->GetValueBool());
    EXPECT_TRUE(byes->GetValueBool()); // "yes" is not a number: the current value stays
    EXPECT_EQ(hex->GetValueInt(), 16);
    EXPECT_EQ(junk->GetValueInt(), 41);
    EXPECT_EQ(f->GetValueFloat(), 0.3f);            // rounded to the nearest millionth
    EXPECT_EQ(d->GetValueDouble(), 0.0);            // 2.5e-7 rounds to 0
    EXPECT_EQ(missing->GetValueFloat(), 0.123457f); // kept, rounded
    EXPECT_EQ(notSaved->GetValueInt(), 5);
    Tick();
    EXPECT_EQ(changes, 7); // every loaded variable posts, changed or not

    // Loading the same file again still posts for each.
    changes = 0;
    Man()->LoadIni(ini);
    Tick();
    EXPECT_EQ(changes, 7);
}

TEST_F(ShareTest, IniTestCountsDifferences) {
    TShareVarBase* f = Add("Sense", "Level", "Float");
    TShareVarBase* d = Add("Sense", "Gain", "Double");
    TShareVarBase* i = Add("Sense", "Mode", "Int");
    TShareVarBase* b = Add("Sense", "On", "Bool");
    Add("Sense", "Status", "Int", 1, false);
    MemIniFile empty;
    EXPECT_EQ(Man()->TestIni(empty), 4); // every saveable key missing

    MemIniFile ini;
    ini.SetText("[Sense]\nLevelFlo1=0.3\nGainDou1=0.3\nModeInt1=2\nOnBoo1=0\n");
    struct Case {
        float level;
        double gain;
        int mode;
        bool on;
        int expect;
    } cases[] = {
        {0.3f, 0.3, 2, false, 0},  {0.305f, 0.305, 2, false, 0}, // within 0.01: equal
        {0.32f, 0.3, 2, false, 1}, {0.3f, 0.32, 2, false, 1},
        {0.3f, 0.3, 3, true, 2},   {0.32f, 0.32, 3, true, 4},
    };
    for (const Case& c : cases) {
        f->SetValueFloatX(c.level);
        d->SetValueDoubleX(c.gain);
        i->SetValueIntX(c.mode);
        b->SetValueBoolX(c.on);
        EXPECT_EQ(Man()->TestIni(ini), c.expect) << c.level << " " << c.gain << " " << c.mode;
    }
    // Extremes do not wrap into false equality.
    i->SetValueIntX(INT_MAX);
    f->SetValueFloatX(0.3f);
    d->SetValueDoubleX(0.3);
    b->SetValueBoolX(false);
    MemIniFile noMode;
    noMode.SetText("[Sense]\nLevelFlo1=0.3\nGainDou1=0.3\nOnBoo1=0\n");
    EXPECT_EQ(Man()->TestIni(noMode), 1);
}

TEST_F(ShareTest, IniFileOperationsByName) {
    Add("Comm", "Port", "Int")->SetValueIntX(4);
    const std::string path = "/tmp/zt7-share-" + std::to_string(getpid()) + ".ini";
    std::remove(path.c_str());
    Man()->SetFileName(path);
    EXPECT_EQ(Man()->TestIni(), 1); // missing file: every key differs
    Man()->LoadIni();               // missing file: values kept
    EXPECT_EQ(poly->GetVar(0)->GetValueInt(), 4);
    Man()->SaveIni();
    EXPECT_EQ(Man()->TestIni(), 0);
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[Comm]\r\nPortInt1=4\r\n\r\n");
    std::remove(path.c_str());
    Man()->SetFileName("");
    EXPECT_EQ(Man()->TestIni(), 0);
}

// --- hostile shared-memory objects -------------------------------------------------------------

TEST_F(ShareTest, ObjectsOthersCouldReadAreRefused) {
    TShareVarBase* good = Add("S", "Good", "Int");
    TShareVarBase* planted = Add("S", "Planted", "Int");
    // Somebody prepared the block with open permissions: it must not carry our settings.
    {
        const std::string p = ns.Path("MemGrpSPlantedInt1");
        FILE* f = std::fopen(p.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        chmod(p.c_str(), 0666);
    }
    ActivateMaster();
    EXPECT_EQ(good->GetID(), 1);
    EXPECT_EQ(planted->GetID(), 0);
    EXPECT_EQ(planted->ShareValuePtr(0), nullptr);
    planted->SetValueInt(3);
    EXPECT_EQ(planted->GetValueInt(), 3); // works as a local value
    Man()->SetActive(false);

    // The same for the group block: activation fails silently.
    const std::string g = ns.Path("MemGrp");
    std::filesystem::remove(g);
    FILE* f = std::fopen(g.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    chmod(g.c_str(), 0644);
    Man()->SetActive(true);
    EXPECT_FALSE(Man()->GetActive());
    EXPECT_EQ(good->GetID(), 0);
}
