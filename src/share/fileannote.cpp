#include "share/fileannote.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

namespace {

uint32_t LoadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadAt(std::FILE* f, int64_t offset, void* buf, size_t n)
{
    if (offset < 0) return false;
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(buf, 1, n, f) == n;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool FileAnnote::FileExists(const std::string& path)
{
    FilePtr f(std::fopen(path.c_str(), "rb"));
    return f != nullptr;
}

int64_t FileAnnote::FileSize(const std::string& path)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) return 0;
    return static_cast<int64_t>(size);
}

bool FileAnnote::ReadEntry(std::FILE* file, TFileAnnoteEntry& entry)
{
    const int64_t e = entry.EndOffset;
    entry.Found = false;
    if (!file || e < BlockOverhead) return false;

    uint8_t marker[MarkerSize];
    if (!ReadAt(file, e - MarkerSize, marker, sizeof marker)) return false;
    if (std::memcmp(marker, TrailerMarker.data(), MarkerSize) != 0) return false;

    uint8_t desc[DescriptorSize];
    if (!ReadAt(file, e - MarkerSize - DescriptorSize, desc, sizeof desc)) return false;
    const int64_t total = LoadU32(desc);
    const int64_t content = LoadU32(desc + 4);
    // A damaged descriptor must neither send the header check before the file's start nor leave the
    // walk to the previous block standing still; nor may the content run into the descriptor.
    if (total < BlockOverhead || total > e) return false;
    if (content > total - BlockOverhead) return false;

    if (!ReadAt(file, e - total, marker, sizeof marker)) return false;
    if (std::memcmp(marker, HeaderMarker.data(), MarkerSize) != 0) return false;

    entry.Found = true;
    entry.TotalLength = total;
    entry.ContentLength = content;
    entry.Overwrite = desc[8];
    std::memcpy(entry.Name, desc + 9, NameSize);
    entry.Name[NameSize] = '\0';
    return true;
}

int FileAnnote::Scan(const std::string& exePath)
{
    FEntries.fill(TFileAnnoteEntry{});
    FCount = 0;
    const int64_t size = FileSize(exePath);
    if (size < BlockOverhead) return 0;
    FilePtr f(std::fopen(exePath.c_str(), "rb"));
    if (!f) return 0;
    int64_t end = size;
    for (int i = 0; i < MaxEntries; ++i) {
        FEntries[size_t(i)].EndOffset = end;
        if (!ReadEntry(f.get(), FEntries[size_t(i)])) break;
        FCount = i + 1;
        end -= FEntries[size_t(i)].TotalLength;
    }
    return FCount;
}

int FileAnnote::ExtractAll(const std::string& exePath, const std::string& dir)
{
    Scan(exePath);
    for (int i = 0; i < FCount; ++i) ExtractEntry(exePath, dir, FEntries[size_t(i)]);
    return FCount;
}

std::string FileAnnote::TargetPath(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

bool FileAnnote::SafeName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool FileAnnote::ExtractEntry(const std::string& exePath, const std::string& dir,
                              const TFileAnnoteEntry& entry)
{
    if (!entry.Found) return false;
    const std::string name(entry.Name);
    // The name comes from the file: it may only name a file in dir itself.
    if (!SafeName(name)) return false;
    const std::string target = TargetPath(dir, name);
    if (FileExists(target) && entry.Overwrite != 1) return false;

    FilePtr in(std::fopen(exePath.c_str(), "rb"));
    if (!in) return false;
    const int64_t start = entry.EndOffset - entry.TotalLength + MarkerSize;
    if (start < 0 || std::fseek(in.get(), static_cast<long>(start), SEEK_SET) != 0) return false;

    // Written beside the target and renamed over it, so a reader never sees half a settings file
    // and an interrupted extraction leaves the old one in place.
    std::random_device rd;
    std::string temp;
    FilePtr out;
    for (int attempt = 0; attempt < 8 && !out; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(rd()));
        temp = TargetPath(dir, "." + name + suffix);
        out.reset(std::fopen(temp.c_str(), "wbx"));
    }
    if (!out) return false;

    bool ok = true;
    int64_t left = entry.ContentLength;
    char buf[4096];
    while (left > 0) {
        size_t want = left < int64_t(sizeof buf) ? size_t(left) : sizeof buf;
        size_t got = std::fread(buf, 1, want, in.get());
        if (got > 0 && std::fwrite(buf, 1, got, out.get()) != got) ok = false;
        if (!ok || got < want) {
            ok = false;
            break;
        }
        left -= int64_t(got);
    }
    if (std::fflush(out.get()) != 0) ok = false;
    if (std::fclose(out.release()) != 0) ok = false;

    std::error_code ec;
    if (ok) std::filesystem::rename(temp, target, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}
