// Whole-file INI: read into memory at open, case-insensitive sections and keys, order kept, new
// keys appended, written back whole with CR LF line ends.
#pragma once

#include <string>
#include <vector>

class MemIniFile {
public:
    MemIniFile() = default;
    // Reads the whole file; a missing or unreadable file gives an empty one.
    explicit MemIniFile(const std::string& fileName);

    const std::string& FileName() const { return FFileName; }

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Decimal, or hexadecimal with a "0x" prefix; missing or invalid gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // Missing, empty or invalid gives def.
    double ReadFloat(const std::string& section, const std::string& key, double def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteFloat(const std::string& section, const std::string& key, double value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(const std::string& section) const;  // key names

    // Whole text with CR LF line ends.
    std::string Text() const;
    void SetText(const std::string& text);
    // Writes the file atomically (temporary file + rename). Returns false on failure.
    bool UpdateFile() const;
    bool UpdateFile(const std::string& fileName) const;

    // "General" float text: 15 significant digits, trailing zeros dropped, E notation outside
    // 1e-5 .. 1e15.
    static std::string FloatToStr(double value);

private:
    struct Entry { std::string key, value; };
    struct Section { std::string name; std::vector<Entry> entries; };
    const Section* Find(const std::string& section) const;
    Section* Find(const std::string& section);

    std::string FFileName;
    std::vector<Section> FSections;
};
