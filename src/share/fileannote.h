// Files appended to the end of an executable: each program carries its default "ZT7.INI" this way
// and writes it beside itself at start. Reader side only; the packaging tool writes the blocks.
//
// One block: header marker (16) | content (N) | descriptor (44) | trailer marker (16), where the
// descriptor holds total length N + 76 (u32 LE), content length N (u32 LE), overwrite flag (1),
// name (32, zero padded, no terminator at 32 chars) and 3 reserved bytes. Blocks are laid one after
// another and the last one ends at the end of the file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

struct TFileAnnoteEntry {
    int64_t EndOffset = 0;      // where the block ends in the executable
    bool Found = false;
    int64_t TotalLength = 0;    // content + 76
    int64_t ContentLength = 0;
    uint8_t Overwrite = 0;      // 1: replace an existing file on extraction
    char Name[33] = {};         // up to 32 characters, always terminated here
};

class FileAnnote {
public:
    static constexpr int MaxEntries = 100;
    static constexpr int MarkerSize = 16;
    static constexpr int DescriptorSize = 44;
    static constexpr int NameSize = 32;
    static constexpr int BlockOverhead = 2 * MarkerSize + DescriptorSize;  // 76
    static constexpr std::array<uint8_t, MarkerSize> HeaderMarker{
        0xFF, 0xFF, 0xFF, 0xFF, 0xCA, 0xFE, 0xF0, 0x0D, 0x88, 0x99, 0xAA, 0xBB, 0x00, 0x00, 0x00, 0x00};
    static constexpr std::array<uint8_t, MarkerSize> TrailerMarker{
        0xFF, 0xFF, 0xFF, 0xFF, 0xCA, 0xFE, 0xF0, 0x0D, 0x88, 0x99, 0xAA, 0xBB, 0x01, 0x01, 0x01, 0x01};

    // Finds every block (the last of the file first) and extracts each into dir. Returns how many
    // blocks were found.
    int ExtractAll(const std::string& exePath, const std::string& dir);
    // Validates the block ending at entry.EndOffset and fills the entry; Found tells the outcome.
    bool ReadEntry(std::FILE* file, TFileAnnoteEntry& entry);
    // Writes one entry's content to dir/name, unless such a file exists and the flag is not 1.
    // Returns true when the file was written.
    bool ExtractEntry(const std::string& exePath, const std::string& dir, const TFileAnnoteEntry& entry);

    static bool FileExists(const std::string& path);
    static int64_t FileSize(const std::string& path);  // 0 when the status cannot be read

    // The entries of the last ExtractAll, in the order found.
    int GetCount() const { return FCount; }
    const TFileAnnoteEntry& GetEntry(int i) const { return FEntries[static_cast<size_t>(i)]; }
    // Finds the entries without extracting anything (the packaging tool's listing).
    int Scan(const std::string& exePath);

    // dir joined with name: no doubled separator, an empty dir meaning the working directory.
    static std::string TargetPath(const std::string& dir, const std::string& name);
    // A name that stays inside the target directory: not empty, no '/', not "." or "..".
    static bool SafeName(const std::string& name);

private:
    std::array<TFileAnnoteEntry, MaxEntries> FEntries{};
    int FCount = 0;
};
