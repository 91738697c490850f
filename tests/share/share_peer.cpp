// A scriptable process for the multi-process tests: reads one command per line on stdin, answers
// on stdout. Every command's answer ends with a line starting "ok"; change events print
// "change <Sec> <Name> <value>" as they are raised.
//
//   share_peer [--native]   manual: virtual time, advanced by "advance MS"; native: real timers
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/manualloop.h"
#include "platform/nativeloop.h"
#include "platform/shm.h"
#include "share/ipthread.h"
#include "share/sharemanbase.h"
#include "share/sharevarpoly.h"

namespace {

std::unique_ptr<TShareVarPoly> gPoly;
std::vector<TShareVarBase*> gVars;
ManualLoop* gManual = nullptr;
std::unique_ptr<ShmMutex> gHeld;

std::string ValueText(TShareVarBase* v, int index) {
    char buf[64];
    const std::string t = v->GetVarType();
    if (t == "Boo")
        std::snprintf(buf, sizeof buf, "%d", v->GetValueBoolA(index) ? 1 : 0);
    else if (t == "Int")
        std::snprintf(buf, sizeof buf, "%d", v->GetValueIntA(index));
    else if (t == "Flo")
        std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v->GetValueFloatA(index)));
    else
        std::snprintf(buf, sizeof buf, "%.17g", v->GetValueDoubleA(index));
    return buf;
}

void Write(TShareVarBase* v, int index, const std::string& text, bool x) {
    const std::string t = v->GetVarType();
    if (t == "Boo") {
        x ? v->SetValueBoolXA(index, std::atoi(text.c_str()) != 0)
          : v->SetValueBoolA(index, std::atoi(text.c_str()) != 0);
    } else if (t == "Int") {
        x ? v->SetValueIntXA(index, std::atoi(text.c_str()))
          : v->SetValueIntA(index, std::atoi(text.c_str()));
    } else if (t == "Flo") {
        x ? v->SetValueFloatXA(index, std::strtof(text.c_str(), nullptr))
          : v->SetValueFloatA(index, std::strtof(text.c_str(), nullptr));
    } else {
        x ? v->SetValueDoubleXA(index, std::strtod(text.c_str(), nullptr))
          : v->SetValueDoubleA(index, std::strtod(text.c_str(), nullptr));
    }
}

void Out(const std::string& s) {
    std::fputs((s + "\n").c_str(), stdout);
    std::fflush(stdout);
}

TShareVarBase* Var(std::istringstream& in) {
    size_t i = 0;
    in >> i;
    return i < gVars.size() ? gVars[i] : nullptr;
}

void Command(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    TShareManBase* m = TShareManBase::Existing();
    if (cmd == "add") {
        std::string sec, name, type;
        int count = 1, saveable = 0;
        in >> sec >> name >> type >> count >> saveable;
        if (!gPoly) gPoly = std::make_unique<TShareVarPoly>();
        TShareVarBase* v = gPoly->AddItem(
            sec, name, type, count,
            [](TShareVarBase* s) {
                Out("change " + s->GetSecName() + " " + s->GetVarName() + " " + ValueText(s, 0));
            },
            nullptr, saveable != 0);
        if (!v) return Out("ok null");
        gVars.push_back(v);
        return Out("ok " + std::to_string(gVars.size() - 1));
    }
    if (cmd == "master") {
        if (m) m->SetMaster(true);
    } else if (cmd == "active") {
        int a = 0;
        in >> a;
        if (m) m->SetActive(a != 0);
    } else if (cmd == "tick") {
        if (m) m->DoPoll(nullptr);
    } else if (cmd == "advance") {
        uint32_t ms = 0;
        in >> ms;
        if (gManual) gManual->Advance(ms);
    } else if (cmd == "set" || cmd == "setx") {
        TShareVarBase* v = Var(in);
        int index = 0;
        std::string value;
        in >> index >> value;
        if (v) Write(v, index, value, cmd == "setx");
    } else if (cmd == "get") {
        TShareVarBase* v = Var(in);
        int index = 0;
        in >> index;
        return Out(v ? "ok " + ValueText(v, index) : "ok none");
    } else if (cmd == "id") {
        TShareVarBase* v = Var(in);
        return Out("ok " + std::to_string(v ? v->GetID() : -1));
    } else if (cmd == "status") {
        char buf[128];
        std::snprintf(buf, sizeof buf, "ok active=%d master=%d slaves=%d present=%d interval=%u",
                      m && m->GetActive(), m && m->GetMaster(), m ? m->GetSlaveCount() : 0,
                      m && m->GetMasterPresent(),
                      m && m->GetPollThread() ? m->GetPollThread()->GetInterval() : 0u);
        return Out(buf);
    } else if (cmd == "hold") {
        // Takes a named mutex and never gives it back: the test kills us while holding it.
        std::string name;
        in >> name;
        gHeld = ShmMutex::Open(name);
        return Out(gHeld && gHeld->Lock(1000) ? "ok held" : "ok failed");
    } else if (cmd == "holdvar") {
        TShareVarBase* v = Var(in);
        if (v) v->Lock();
        return Out("ok held");
    } else if (cmd == "loadini" || cmd == "saveini" || cmd == "testini") {
        std::string file;
        in >> file;
        if (!m) return Out("ok none");
        m->SetFileName(file);
        if (cmd == "loadini") m->LoadIni();
        if (cmd == "saveini") m->SaveIni();
        if (cmd == "testini") return Out("ok " + std::to_string(m->TestIni()));
    } else if (cmd == "crash") {
        // Leaves everything as it is, like a process killed from outside.
        _exit(3);
    } else if (cmd == "quit") {
        gVars.clear();
        gPoly.reset();
        Out("ok");
        std::exit(0);
    } else if (!cmd.empty()) {
        return Out("ok unknown " + cmd);
    }
    Out("ok");
}

} // namespace

int main(int argc, char** argv) {
    const bool native = argc > 1 && std::string(argv[1]) == "--native";
    TShareManBase::SetDeactivatePause(0);
    signal(SIGPIPE, SIG_IGN);
    if (!native) {
        static ManualLoop loop;
        gManual = &loop;
        MainLoop::SetCurrent(&loop);
        std::string line;
        char buf[4096];
        while (std::fgets(buf, sizeof buf, stdin)) {
            line = buf;
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            Command(line);
        }
        gVars.clear();
        gPoly.reset();
        return 0;
    }
    static NativeLoop loop;
    MainLoop::SetCurrent(&loop);
    std::string pending;
    loop.WatchFd(0, [&] {
        char buf[4096];
        ssize_t n = read(0, buf, sizeof buf);
        if (n <= 0) {
            loop.Quit(0);
            return;
        }
        pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            Command(line);
        }
    });
    const int rc = loop.Run();
    gVars.clear();
    gPoly.reset();
    return rc;
}
