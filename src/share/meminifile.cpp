#include "share/meminifile.h"

#include "platform/atomicfile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Settings files are a few kilobytes; anything far larger is not ours and is read only in part.
constexpr std::streamsize kMaxFileBytes = 16 * 1024 * 1024;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool ParseInt(const std::string& text, int& out) {
    std::string s = Trim(text);
    if (s.empty()) return false;
    size_t i = 0;
    bool neg = false;
    if (s[i] == '+' || s[i] == '-') {
        neg = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (s.size() - i > 1 && s[i] == '$') {
        base = 16;
        i += 1;
    }
    if (i >= s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f')
            d = Lower(c) - 'a' + 10;
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return false;
    }
    if (neg) v = -v;
    if (base == 16) {
        // Hex spells the 32-bit pattern: 0xFFFFFFFF is -1.
        if (v > 0xFFFFFFFFLL || v < -0x80000000LL) return false;
        out = static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(v)));
        return true;
    }
    if (v > 0x7FFFFFFFLL || v < -0x80000000LL) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseFloat(const std::string& text, double& out) {
    std::string s = Trim(text);
    if (s.empty()) return false;
    // Plain decimal notation only: no hex floats, no INF/NAN words.
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return false;
    // Accept a comma-free "C" number regardless of the process locale.
    std::istringstream in(s);
    in.imbue(std::locale::classic());
    double v = 0;
    in >> v;
    if (in.fail() || !in.eof() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

} // namespace

MemIniFile::MemIniFile(const std::string& fileName) : FFileName(fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return;
    std::string text;
    char buf[65536];
    while (in && static_cast<std::streamsize>(text.size()) < kMaxFileBytes) {
        in.read(buf, sizeof buf);
        text.append(buf, static_cast<size_t>(in.gcount()));
    }
    if (static_cast<std::streamsize>(text.size()) > kMaxFileBytes)
        text.resize(static_cast<size_t>(kMaxFileBytes));
    SetText(text);
}

void MemIniFile::SetText(const std::string& text) {
    FSections.clear();
    Section* cur = nullptr;
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3; // UTF-8 byte-order mark
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = Trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) continue; // not a section header: skipped
            std::string name = line.substr(1, close - 1);
            cur = Find(name);
            if (!cur) {
                FSections.push_back(Section{name, {}});
                cur = &FSections.back();
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (!cur || eq == std::string::npos) continue; // garbage or keys outside a section
        std::string key = Trim(line.substr(0, eq));
        if (key.empty()) continue;
        std::string value = Trim(line.substr(eq + 1));
        bool seen = false;
        for (const Entry& e : cur->entries)
            if (SameText(e.key, key)) {
                seen = true; // the first of duplicate keys wins
                break;
            }
        if (!seen) cur->entries.push_back(Entry{key, value});
    }
}

const MemIniFile::Section* MemIniFile::Find(const std::string& section) const {
    for (const Section& s : FSections)
        if (SameText(s.name, section)) return &s;
    return nullptr;
}

MemIniFile::Section* MemIniFile::Find(const std::string& section) {
    for (Section& s : FSections)
        if (SameText(s.name, section)) return &s;
    return nullptr;
}

bool MemIniFile::SectionExists(const std::string& section) const {
    return Find(section) != nullptr;
}

bool MemIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const Section* s = Find(section);
    if (!s) return false;
    for (const Entry& e : s->entries)
        if (SameText(e.key, key)) return true;
    return false;
}

std::string MemIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& def) const {
    const Section* s = Find(section);
    if (!s) return def;
    for (const Entry& e : s->entries)
        if (SameText(e.key, key)) return e.value;
    return def;
}

int MemIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    int v = 0;
    return ParseInt(ReadString(section, key, ""), v) ? v : def;
}

double MemIniFile::ReadFloat(const std::string& section, const std::string& key, double def) const {
    double v = 0;
    return ParseFloat(ReadString(section, key, ""), v) ? v : def;
}

bool MemIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void MemIniFile::WriteString(const std::string& section, const std::string& key,
                             const std::string& value) {
    // Line breaks in a value would split it into garbage lines on the next read.
    std::string v = value;
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    Section* s = Find(section);
    if (!s) {
        FSections.push_back(Section{section, {}});
        s = &FSections.back();
    }
    for (Entry& e : s->entries)
        if (SameText(e.key, key)) {
            e.value = v;
            return;
        }
    s->entries.push_back(Entry{key, v});
}

void MemIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void MemIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
    WriteString(section, key, FloatToStr(value));
}

void MemIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> MemIniFile::ReadSections() const {
    std::vector<std::string> out;
    for (const Section& s : FSections)
        out.push_back(s.name);
    return out;
}

std::vector<std::string> MemIniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> out;
    if (const Section* s = Find(section))
        for (const Entry& e : s->entries)
            out.push_back(e.key);
    return out;
}

std::string MemIniFile::Text() const {
    std::string out;
    for (const Section& s : FSections) {
        out += "[" + s.name + "]\r\n";
        for (const Entry& e : s.entries)
            out += e.key + "=" + e.value + "\r\n";
        out += "\r\n";
    }
    return out;
}

bool MemIniFile::UpdateFile() const {
    return UpdateFile(FFileName);
}

bool MemIniFile::UpdateFile(const std::string& fileName) const {
    if (fileName.empty()) return false;
    return WriteFileAtomically(fileName, Text());
}

std::string MemIniFile::FloatToStr(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0.0) return "0";
    // 15 significant digits, then the shortest text that shows them.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    std::string s(buf);
    const bool neg = s[0] == '-';
    if (neg) s.erase(0, 1);
    const size_t epos = s.find('e');
    const int exp = std::atoi(s.c_str() + epos + 1);
    std::string digits;
    for (size_t i = 0; i < epos; ++i)
        if (s[i] != '.') digits += s[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    if (exp < -5 || exp >= 15) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp);
    } else if (exp < 0) {
        out = "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
    } else {
        const size_t intLen = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intLen) {
            out = digits + std::string(intLen - digits.size(), '0');
        } else {
            out = digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    return neg ? "-" + out : out;
}
