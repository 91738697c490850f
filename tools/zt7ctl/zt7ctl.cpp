// zt7ctl: a command-line slave of the shared variables. Attaches to the running driver's group,
// reads, writes or watches one variable, or sends a Status command.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/nativeloop.h"
#include "platform/signals.h"
#include "share/sharemanbase.h"
#include "share/sharevarpoly.h"

namespace {

enum Exit {
    exOk = 0,
    exUsage = 1,
    exBadInput = 2,
    exNoMaster = 3,
    exUnknownVar = 4,
    exTimeout = 5
};

const char* kUsage =
    "usage: zt7ctl [options] COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  get SECTION NAME TYPE [COUNT]     print the value (all COUNT elements)\n"
    "  set SECTION NAME TYPE VALUE       write the value; returns once the change is delivered\n"
    "  watch SECTION NAME TYPE [COUNT]   print the value at every change\n"
    "  status CMD                        increment the Status counter CMD (Save, Load, Reset,\n"
    "                                    Terminate, ...)\n"
    "\n"
    "TYPE is Bool, Int, Float or Double. Bool values: 0, 1, true, false. Int: decimal or 0x hex.\n"
    "\n"
    "Options:\n"
    "  --count N      watch: stop after N changes; get/set/watch: element count (default 1)\n"
    "  --index I      set: element to write (default 0)\n"
    "  --timeout S    give up after S seconds (set/status: default 5; watch: no limit)\n"
    "  -h, --help     this text\n"
    "\n"
    "Exit status: 0 done, 1 usage, 2 bad type or value, 3 no master present, 4 variable not\n"
    "registered by the master, 5 timed out.\n"
    "The shared objects are those of this user; ZT7_SHM_NAMESPACE selects another set.\n";

int Fail(int code, const std::string& msg) {
    std::fprintf(stderr, "zt7ctl: %s\n", msg.c_str());
    return code;
}

// "Bool", "Int", "Float", "Double" in any letter case, or the three-letter codes.
bool NormaliseType(const std::string& in, std::string& out) {
    std::string l;
    for (char c : in)
        l += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (l == "bool" || l == "boo")
        out = "Bool";
    else if (l == "int")
        out = "Int";
    else if (l == "float" || l == "flo")
        out = "Float";
    else if (l == "double" || l == "dou")
        out = "Double";
    else
        return false;
    return true;
}

bool ParseLong(const std::string& s, long long& v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const bool hex = s.size() > 2 && (s.compare(0, 2, "0x") == 0 || s.compare(0, 2, "0X") == 0);
    v = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
    return errno == 0 && end && *end == 0;
}

bool ParseDouble(const std::string& s, double& v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(v);
}

// Shortest text that reads back as the same value.
std::string Text(double v, int minDigits, int maxDigits, bool single) {
    char buf[64];
    for (int d = minDigits; d <= maxDigits; ++d) {
        std::snprintf(buf, sizeof buf, "%.*g", d, v);
        const double back = std::strtod(buf, nullptr);
        if (single ? static_cast<float>(back) == static_cast<float>(v) : back == v) break;
    }
    return buf;
}

std::string ValueText(TShareVarBase* v) {
    std::string out;
    for (int i = 0; i < v->GetVarCount(); ++i) {
        if (i) out += ' ';
        const std::string t = v->GetVarType();
        if (t == "Boo")
            out += v->GetValueBoolA(i) ? "1" : "0";
        else if (t == "Int")
            out += std::to_string(v->GetValueIntA(i));
        else if (t == "Flo")
            out += Text(static_cast<double>(v->GetValueFloatA(i)), 6, 9, true);
        else
            out += Text(v->GetValueDoubleA(i), 15, 17, false);
    }
    return out;
}

// Stores the text through the plain setter of the variable's type; false when it is not a value
// of that type.
bool WriteValue(TShareVarBase* v, int index, const std::string& text) {
    const std::string t = v->GetVarType();
    if (t == "Boo") {
        if (text == "1" || text == "true")
            v->SetValueBoolA(index, true);
        else if (text == "0" || text == "false")
            v->SetValueBoolA(index, false);
        else
            return false;
        return true;
    }
    if (t == "Int") {
        long long n = 0;
        if (!ParseLong(text, n) || n < INT32_MIN || n > INT32_MAX) return false;
        v->SetValueIntA(index, static_cast<int32_t>(n));
        return true;
    }
    double d = 0;
    if (!ParseDouble(text, d)) return false;
    if (t == "Flo") {
        if (std::fabs(d) > 3.4028234663852886e38) return false;
        v->SetValueFloatA(index, static_cast<float>(d));
    } else {
        v->SetValueDoubleA(index, d);
    }
    return true;
}

struct Options {
    std::vector<std::string> args;
    int count = 1;
    bool countGiven = false;
    int index = 0;
    double timeout = -1;
};

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](long long& n) {
            if (i + 1 >= argc || !ParseLong(argv[i + 1], n)) return false;
            ++i;
            return true;
        };
        long long n = 0;
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return exOk;
        } else if (a == "--count") {
            if (!next(n) || n < 1 || n > INT_MAX)
                return Fail(exUsage, "--count needs a positive number");
            o.count = static_cast<int>(n);
            o.countGiven = true;
        } else if (a == "--index") {
            if (!next(n) || n < 0 || n > 127) return Fail(exUsage, "--index needs a number 0..127");
            o.index = static_cast<int>(n);
        } else if (a == "--timeout") {
            double t = 0;
            if (i + 1 >= argc || !ParseDouble(argv[i + 1], t) || t < 0)
                return Fail(exUsage, "--timeout needs a number of seconds");
            o.timeout = t;
            ++i;
        } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9') && a[1] != '.') {
            return Fail(exUsage, "unknown option " + a + " (see --help)");
        } else {
            o.args.push_back(a);
        }
    }
    if (o.args.empty()) {
        std::fputs(kUsage, stderr);
        return exUsage;
    }
    const std::string cmd = o.args[0];
    std::string sec, name, type;
    std::string value;
    int count = 1;
    if (cmd == "get" || cmd == "watch" || cmd == "set") {
        const size_t need = cmd == "set" ? 5 : 4;
        if (o.args.size() < need || o.args.size() > need + (cmd == "set" ? 0 : 1))
            return Fail(exUsage, "usage: zt7ctl " + cmd + " SECTION NAME TYPE" +
                                     (cmd == "set" ? " VALUE" : " [COUNT]"));
        sec = o.args[1];
        name = o.args[2];
        if (!NormaliseType(o.args[3], type))
            return Fail(exBadInput,
                        "unknown type '" + o.args[3] + "' (Bool, Int, Float or Double)");
        if (cmd == "set") value = o.args[4];
        long long n = 1;
        if (o.args.size() == need + 1 && (!ParseLong(o.args[need], n) || n < 1 || n > 128))
            return Fail(exBadInput, "COUNT must be 1..128");
        count = static_cast<int>(n);
        if (cmd != "watch" && o.countGiven) count = o.count;
    } else if (cmd == "status") {
        if (o.args.size() != 2) return Fail(exUsage, "usage: zt7ctl status CMD");
        sec = "Status";
        name = o.args[1];
        type = "Int";
    } else {
        return Fail(exUsage, "unknown command '" + cmd + "' (see --help)");
    }
    if (o.index >= count) return Fail(exBadInput, "--index outside the variable's elements");
    if (o.timeout < 0 && cmd != "watch") o.timeout = 5;

    // Nothing of ours runs between ticks, so deactivation needs no grace pause.
    TShareManBase::SetDeactivatePause(0);
    NativeLoop loop;
    MainLoop::SetCurrent(&loop);
    int rc = exOk;
    {
        TShareVarPoly poly;
        int changes = 0;
        bool written = false;
        TShareVarBase* v = poly.AddItem(sec, name, type, count, nullptr, nullptr, false);
        if (!v) return Fail(exBadInput, "unknown type");
        TShareManBase* man = TShareManBase::GetShareManBase();
        man->SetActive(true);
        if (!man->GetActive()) {
            rc = Fail(exNoMaster, "cannot open the shared memory group");
        } else if (!man->GetMasterPresent()) {
            rc = Fail(exNoMaster, "no master present (is ZT7_DRIVER running?)");
        } else if (v->GetID() == 0) {
            rc = Fail(exUnknownVar, "the master has no variable " + sec + "/" + name + " of type " +
                                        type + " with " + std::to_string(count) + " element(s)");
        } else if (cmd == "get") {
            std::printf("%s\n", ValueText(v).c_str());
        } else {
            if (cmd == "set") {
                if (!WriteValue(v, o.index, value)) {
                    rc = Fail(exBadInput, "bad value '" + value + "' for type " + type);
                } else {
                    written = true;
                }
            } else if (cmd == "status") {
                v->SetValueInt(v->GetValueInt() + 1);
                written = true;
            }
            if (rc == exOk) {
                // set/status: done once our own change comes back through the ring (the master
                // has had the same chance to see it); watch: print every change.
                v->OnChange = [&](TShareVarBase* s) {
                    ++changes;
                    if (cmd == "watch") {
                        std::printf("%s\n", ValueText(s).c_str());
                        std::fflush(stdout);
                        if (o.countGiven && changes >= o.count) loop.Quit(exOk);
                    } else if (written) {
                        loop.Quit(exOk);
                    }
                };
                // The master leaves: nothing more will be delivered.
                v->OnPoll = [&](TShareVarBase*) {
                    if (!man->GetMasterPresent()) loop.Quit(exNoMaster);
                };
                SignalWatch signals;
                signals.Start(loop, [&](int) { loop.Quit(exOk); });
                int timer = 0;
                if (o.timeout >= 0) {
                    const double ms = std::min(o.timeout * 1000.0, 2147483647.0);
                    timer = loop.AddTimer(static_cast<uint32_t>(std::max(ms, 1.0)),
                                          [&] { loop.Quit(exTimeout); });
                }
                rc = loop.Run();
                if (timer) loop.RemoveTimer(timer);
                if (rc == exTimeout) {
                    if (cmd == "watch" && !o.countGiven)
                        rc = exOk;
                    else if (cmd == "watch")
                        Fail(rc, "timed out before " + std::to_string(o.count) + " changes");
                    else
                        Fail(rc, "timed out waiting for the change to be delivered");
                } else if (rc == exNoMaster) {
                    Fail(rc, "the master went away");
                }
            }
        }
        v->OnChange = nullptr;
        v->OnPoll = nullptr;
        man->SetActive(false);
    }
    MainLoop::SetCurrent(nullptr);
    return rc;
}
