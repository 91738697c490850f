#include "sim.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr float Pi = 3.14159265f;
}

TPanel::TPanel(const TPanelConfig& config) : Config(config), FRng(config.Seed)
{
    Config.XWires = std::clamp(Config.XWires, 4, 64);
    Config.YWires = std::clamp(Config.YWires, 4, 64);
    if (Config.XWires + Config.YWires > 127)
        Config.YWires = 127 - Config.XWires;
    Config.Split0 = std::clamp(Config.Split0, 0, Config.XWires);
    const int n = Length();
    std::uniform_real_distribution<float> base(30.0f, 250.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < n; ++i) {
        // Every wire has its own untouched level; some sit near the top of the byte and wrap
        // when touched.
        FBase.push_back(base(FRng));
        FDriftAmp.push_back(Config.DriftCounts * (0.3f + 0.7f * unit(FRng)));
        FDriftPeriod.push_back(60000.0f + 240000.0f * unit(FRng));
        FDriftPhase.push_back(2 * Pi * unit(FRng));
    }
    FWire.assign(static_cast<size_t>(n), 0);
}

float TPanel::Baseline(int wire, uint32_t tMs) const
{
    return FBase[wire] + FDriftAmp[wire] * std::sin(2 * Pi * static_cast<float>(tMs) / FDriftPeriod[wire] + FDriftPhase[wire]);
}

int TPanel::FrameIndexX(int i) const
{
    if (i < Config.Split0)
        return i;
    // The rest of the X wires come after the Y wires, last wire first.
    return Config.Split0 + Config.YWires + (Config.XWires - 1 - i);
}

int TPanel::FrameIndexY(int j) const
{
    return Config.Split0 + j;
}

void TPanel::Scan(uint32_t tMs, const std::vector<TFinger>& fingers, std::vector<uint8_t>& frame)
{
    const int nx = Config.XWires, ny = Config.YWires;
    frame.assign(static_cast<size_t>(Length()), 0);
    FRise.assign(static_cast<size_t>(Length()), 0.0f);
    const float s2 = 2.0f * Config.FingerWidth * Config.FingerWidth;
    for (int w = 0; w < nx + ny; ++w) {
        const bool isX = w < nx;
        const float pos = isX ? static_cast<float>(w) : static_cast<float>(w - nx);
        float rise = 0;
        for (const TFinger& f : fingers) {
            if (!f.Down || f.Strength <= 0)
                continue;
            const float centre = isX ? f.X * static_cast<float>(nx - 1) : f.Y * static_cast<float>(ny - 1);
            const float d = pos - centre;
            rise += f.Strength * std::exp(-d * d / s2);
        }
        float v = Baseline(w, tMs) + rise + Config.Noise * FNoise(FRng);
        int b = static_cast<int>(std::lround(v));
        b = ((b % 256) + 256) % 256;  // the counter wraps like the hardware's 8-bit count
        if (b == 0)
            b = 1;  // zero is the packet delimiter on the wire
        FWire[w] = static_cast<uint8_t>(b);
        const int at = isX ? FrameIndexX(w) : FrameIndexY(w - nx);
        frame[at] = static_cast<uint8_t>(b);
        FRise[at] = rise;
    }
}

// ---------------------------------------------------------------------------------------------

TScript::TScript(const std::string& name, uint32_t seed, float touch, float press)
    : FName(name), FRng(seed), FTouch(touch), FPress(press)
{
}

bool TScript::Known(const std::string& name)
{
    for (const char* k : {"tap", "press", "drag", "hold", "two", "random", "demo"})
        if (name == k)
            return true;
    return false;
}

void TScript::AddKind(const std::string& kind, uint32_t& t)
{
    std::uniform_real_distribution<float> pos(0.15f, 0.85f);
    auto stroke = [&](uint32_t len, float x0, float y0, float x1, float y1, float l0, float l1, int finger,
                      const std::string& what) {
        TStroke s;
        s.Start = t;
        s.Length = len;
        s.X0 = x0, s.Y0 = y0, s.X1 = x1, s.Y1 = y1;
        s.Level0 = l0, s.Level1 = l1;
        s.FingerIndex = finger;
        s.What = what;
        FStrokes.push_back(s);
    };
    char text[160];
    float x = pos(FRng), y = pos(FRng);
    if (kind == "tap") {
        std::snprintf(text, sizeof text, "tap at (%.2f, %.2f)", x, y);
        stroke(150, x, y, x, y, FPress, FPress, 0, text);
        t += 150 + 1350;
    } else if (kind == "press") {
        std::snprintf(text, sizeof text, "touch then press at (%.2f, %.2f)", x, y);
        stroke(800, x, y, x, y, FTouch, FTouch, 0, text);
        t += 800;
        stroke(700, x, y, x, y, FPress, FPress, 0, "");
        t += 700 + 1000;
    } else if (kind == "drag") {
        float x1 = pos(FRng), y1 = pos(FRng);
        std::snprintf(text, sizeof text, "drag (%.2f, %.2f) -> (%.2f, %.2f)", x, y, x1, y1);
        stroke(1500, x, y, x1, y1, FPress, FPress, 0, text);
        t += 1500 + 1000;
    } else if (kind == "hold") {
        std::snprintf(text, sizeof text, "hold at (%.2f, %.2f) for 4 s", x, y);
        stroke(4000, x, y, x, y, FPress, FPress, 0, text);
        t += 4000 + 1000;
    } else if (kind == "two") {
        float x1 = pos(FRng), y1 = pos(FRng);
        std::snprintf(text, sizeof text, "two fingers at (%.2f, %.2f) and (%.2f, %.2f)", x, y, x1, y1);
        stroke(2000, x, y, x, y, FPress, FPress, 0, text);
        stroke(1000, x1, y1, x1, y1, FPress, FPress, 1, "");
        t += 2000 + 1000;
    } else {  // random stroke
        std::uniform_int_distribution<int> len(80, 2500);
        std::uniform_real_distribution<float> lvl(FTouch * 0.8f, FPress * 1.2f);
        float x1 = pos(FRng), y1 = pos(FRng);
        uint32_t l = static_cast<uint32_t>(len(FRng));
        float a = lvl(FRng), b = lvl(FRng);
        std::snprintf(text, sizeof text, "stroke (%.2f, %.2f) -> (%.2f, %.2f) over %u ms", x, y, x1, y1, l);
        stroke(l, x, y, x1, y1, a, b, 0, text);
        t += l + static_cast<uint32_t>(len(FRng) / 2);
    }
}

void TScript::Plan(uint32_t fromMs)
{
    // Plans a few seconds ahead at a time; scripts repeat with new positions.
    uint32_t t = std::max(FPlannedTo, fromMs);
    while (t < fromMs + 10000) {
        if (FName == "demo") {
            static const char* order[] = {"tap", "press", "drag", "hold", "two", "random"};
            AddKind(order[FDemoStep++ % 6], t);
        } else {
            AddKind(FName, t);
        }
    }
    FPlannedTo = t;
}

std::vector<TFinger> TScript::At(uint32_t tMs)
{
    if (tMs + 5000 > FPlannedTo)
        Plan(tMs);
    std::vector<TFinger> fingers(2);
    for (size_t i = 0; i < FStrokes.size(); ++i) {
        const TStroke& s = FStrokes[i];
        if (tMs < s.Start || tMs >= s.Start + s.Length)
            continue;
        if (i >= FAnnounced && !s.What.empty()) {
            FEvent = s.What;
            FAnnounced = i + 1;
        }
        float u = s.Length ? static_cast<float>(tMs - s.Start) / static_cast<float>(s.Length) : 0;
        // A finger needs a few tens of milliseconds to land and to lift.
        float edge = std::min({1.0f, static_cast<float>(tMs - s.Start) / 30.0f,
                               static_cast<float>(s.Start + s.Length - tMs) / 30.0f});
        TFinger& f = fingers[static_cast<size_t>(s.FingerIndex)];
        f.Down = true;
        f.X = s.X0 + (s.X1 - s.X0) * u;
        f.Y = s.Y0 + (s.Y1 - s.Y0) * u;
        f.Strength = (s.Level0 + (s.Level1 - s.Level0) * u) * std::max(edge, 0.1f);
    }
    // Forget strokes long past.
    while (!FStrokes.empty() && FStrokes.front().Start + FStrokes.front().Length + 1000 < tMs) {
        FStrokes.erase(FStrokes.begin());
        if (FAnnounced > 0)
            --FAnnounced;
    }
    return fingers;
}

std::string TScript::TakeEvent()
{
    std::string e;
    e.swap(FEvent);
    return e;
}

// ---------------------------------------------------------------------------------------------

void EncodeRaw(const std::vector<uint8_t>& frame, std::vector<uint8_t>& out)
{
    out.insert(out.end(), frame.begin(), frame.end());
    out.push_back(0);
}

void EncodeSparse(const std::vector<uint8_t>& frame, int xCount, int yCount, const std::vector<float>& rise,
                  int groups, uint32_t counter, std::vector<uint8_t>& out)
{
    const int n = static_cast<int>(frame.size());
    groups = std::max(2, groups);
    // Centres around the strongest rises, plus a round-robin refresh so every wire is sent now
    // and then.
    std::vector<int> order;
    for (int i = 1; i < n - 1; ++i)
        order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rise[a] > rise[b]; });
    std::vector<int> centres;
    for (int c : order) {
        if (static_cast<int>(centres.size()) >= groups - 1 || rise[c] < 8.0f)
            break;
        bool near = false;
        for (int k : centres)
            near |= std::abs(k - c) < 3;
        if (!near)
            centres.push_back(c);
    }
    const int span = std::max(1, (n - 2) / 3);
    int refresh = 1 + 3 * static_cast<int>(counter % static_cast<uint32_t>(span));
    while (static_cast<int>(centres.size()) < groups) {
        centres.push_back(std::min(refresh, n - 2));
        refresh = 1 + (refresh + 2) % (n - 2);
    }
    out.push_back(static_cast<uint8_t>(xCount));
    out.push_back(static_cast<uint8_t>(yCount));
    for (int c : centres) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(frame[c - 1]);
        out.push_back(frame[c]);
        out.push_back(frame[c + 1]);
    }
    out.push_back(0);
    out.push_back(0);
}

// ---------------------------------------------------------------------------------------------

TLogWriter::~TLogWriter()
{
    Close();
}

bool TLogWriter::Open(const std::string& path)
{
    Close();
    FFile = std::fopen(path.c_str(), "wb");
    return FFile != nullptr;
}

void TLogWriter::Write(uint32_t tMs, const std::vector<uint8_t>& frame)
{
    if (!FFile)
        return;
    const size_t n = std::min<size_t>(frame.size(), 128);
    uint8_t head[5] = {static_cast<uint8_t>(tMs), static_cast<uint8_t>(tMs >> 8), static_cast<uint8_t>(tMs >> 16),
                       static_cast<uint8_t>(tMs >> 24), static_cast<uint8_t>(n)};
    std::fwrite(head, 1, sizeof head, FFile);
    if (n > 0)
        std::fwrite(frame.data(), 1, n, FFile);
}

void TLogWriter::Close()
{
    if (FFile) {
        std::fclose(FFile);
        FFile = nullptr;
    }
}

}  // namespace sim
