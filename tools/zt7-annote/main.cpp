// zt7-annote: appends files to an executable in the layout its programs read back at start
// (the default "ZT7.INI"), lists, removes and extracts them.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "share/fileannote.h"

namespace {

const char kUsage[] =
    "Usage: zt7-annote COMMAND EXECUTABLE [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "Files appended to EXECUTABLE are written beside it by the program at start.\n"
    "\n"
    "Commands:\n"
    "  list    EXE               list the appended files, the last one first\n"
    "  add     EXE FILE          append FILE; the program writes it only where no file of that\n"
    "                            name exists yet (a file of the same name already appended is\n"
    "                            replaced)\n"
    "  force   EXE FILE          as add, but the program replaces the file at every start\n"
    "  remove  EXE               remove every appended file (with --name: only that one)\n"
    "  extract EXE DIR           write the appended files into DIR as the program does\n"
    "  copy    EXE NAME FILE2    write the appended file NAME to FILE2, which must not exist\n"
    "\n"
    "Options:\n"
    "  --name NAME   name stored with the file (default: FILE's base name), at most 32 bytes\n"
    "  --quiet       print errors only\n"
    "  -h, --help    show this help\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 bad command line.\n";

bool gQuiet = false;

void Info(const char* fmt, auto... args)
{
    if (!gQuiet) std::printf(fmt, args...);
}

int Usage(const char* why)
{
    std::fprintf(stderr, "zt7-annote: %s\n\n%s", why, kUsage);
    return 2;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadWhole(const std::string& path, std::vector<uint8_t>& data)
{
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    data.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.insert(data.end(), buf, buf + n);
    return !std::ferror(f.get());
}

bool ReadRange(const std::string& path, int64_t offset, int64_t length, std::vector<uint8_t>& data)
{
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f || std::fseek(f.get(), long(offset), SEEK_SET) != 0) return false;
    data.resize(size_t(length));
    return std::fread(data.data(), 1, data.size(), f.get()) == data.size();
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> MakeBlock(const std::vector<uint8_t>& content, const std::string& name, uint8_t flag)
{
    std::vector<uint8_t> b;
    b.reserve(content.size() + FileAnnote::BlockOverhead);
    b.insert(b.end(), FileAnnote::HeaderMarker.begin(), FileAnnote::HeaderMarker.end());
    b.insert(b.end(), content.begin(), content.end());
    PutU32(b, uint32_t(content.size() + FileAnnote::BlockOverhead));
    PutU32(b, uint32_t(content.size()));
    b.push_back(flag);
    for (size_t i = 0; i < size_t(FileAnnote::NameSize); ++i) b.push_back(i < name.size() ? uint8_t(name[i]) : 0);
    b.insert(b.end(), {0x00, 0x40, 0x00});  // reserved, as the shipped blocks have it
    b.insert(b.end(), FileAnnote::TrailerMarker.begin(), FileAnnote::TrailerMarker.end());
    return b;
}

bool Append(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FilePtr f(std::fopen(path.c_str(), "ab"));
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    ok = std::fflush(f.get()) == 0 && ok;
    return std::fclose(f.release()) == 0 && ok;
}

bool Truncate(const std::string& path, int64_t size)
{
    std::error_code ec;
    std::filesystem::resize_file(path, uintmax_t(size), ec);
    return !ec;
}

// Entries of exe in file order (the reader finds them last first).
std::vector<TFileAnnoteEntry> EntriesInFileOrder(const std::string& exe)
{
    FileAnnote fa;
    int n = fa.Scan(exe);
    std::vector<TFileAnnoteEntry> v;
    for (int i = n - 1; i >= 0; --i) v.push_back(fa.GetEntry(i));
    return v;
}

// Removes the blocks named name (every block when name is empty), keeping the others in order.
bool RemoveBlocks(const std::string& exe, const std::string& name, int64_t& sizeBefore, int64_t& sizeAfter)
{
    sizeBefore = FileAnnote::FileSize(exe);
    auto entries = EntriesInFileOrder(exe);
    if (entries.empty()) {
        sizeAfter = sizeBefore;
        return true;
    }
    const int64_t base = entries.front().EndOffset - entries.front().TotalLength;
    std::vector<uint8_t> keep;
    if (!name.empty()) {
        for (const auto& e : entries) {
            if (name == e.Name) continue;
            std::vector<uint8_t> block;
            if (!ReadRange(exe, e.EndOffset - e.TotalLength, e.TotalLength, block)) return false;
            keep.insert(keep.end(), block.begin(), block.end());
        }
    }
    // Anything after the last block is not ours to keep: the blocks end the file.
    if (!Truncate(exe, base)) return false;
    if (!keep.empty() && !Append(exe, keep)) return false;
    sizeAfter = FileAnnote::FileSize(exe);
    return true;
}

int CmdList(const std::string& exe)
{
    Info("list {%s}\n", exe.c_str());
    FilePtr f(std::fopen(exe.c_str(), "rb"));
    if (!f) {
        std::fprintf(stderr, "Error: Unable to open the file for reading {%s}\n", exe.c_str());
        return 1;
    }
    FileAnnote fa;
    int n = fa.Scan(exe);
    for (int i = 0; i < n; ++i) {
        const auto& e = fa.GetEntry(i);
        std::printf("%d %s %ld %s\n", i, e.Name, long(e.ContentLength), e.Overwrite == 1 ? "force" : "add");
    }
    Info("Done.\n");
    return 0;
}

int CmdAdd(const std::string& exe, const std::string& file, std::string name, bool force)
{
    Info("%s", force ? "force" : "add");
    Info(" {%s} {%s}\n", exe.c_str(), file.c_str());
    if (name.empty()) name = std::filesystem::path(file).filename().string();
    if (name.size() > size_t(FileAnnote::NameSize)) {
        std::fprintf(stderr, "Error: Name longer than %d bytes {%s}\n", FileAnnote::NameSize, name.c_str());
        return 1;
    }
    if (!FileAnnote::SafeName(name)) {
        std::fprintf(stderr, "Error: Name must be a plain file name {%s}\n", name.c_str());
        return 1;
    }
    if (FileAnnote::FileSize(exe) <= 0) {
        std::fprintf(stderr, "Error: First file is too short\n");
        return 1;
    }
    std::vector<uint8_t> content;
    if (!ReadWhole(file, content)) {
        std::fprintf(stderr, "Error: Unable to open the second file for reading {%s}\n", file.c_str());
        return 1;
    }
    if (content.empty()) {
        std::fprintf(stderr, "Error: Second file is too short\n");
        return 1;
    }
    if (content.size() > UINT32_MAX - uint32_t(FileAnnote::BlockOverhead)) {
        std::fprintf(stderr, "Error: Second file is too long {%s}\n", file.c_str());
        return 1;
    }
    {
        FilePtr probe(std::fopen(exe.c_str(), "ab"));
        if (!probe) {
            std::fprintf(stderr, "Error: Unable to open the first file for appending {%s}\n", exe.c_str());
            return 1;
        }
    }

    // One name, one block: adding again replaces the earlier copy instead of stacking a second.
    auto entries = EntriesInFileOrder(exe);
    bool dup = false;
    for (const auto& e : entries) dup = dup || name == e.Name;
    if (dup) {
        int64_t before = 0, after = 0;
        Info("replace {%s}\n", name.c_str());
        if (!RemoveBlocks(exe, name, before, after)) {
            std::fprintf(stderr, "Error: Unable to open the first file for appending {%s}\n", exe.c_str());
            return 1;
        }
        entries = EntriesInFileOrder(exe);
    }
    if (entries.size() >= size_t(FileAnnote::MaxEntries)) {
        std::fprintf(stderr, "Error: The first file already carries %d files\n", FileAnnote::MaxEntries);
        return 1;
    }

    const int64_t sizeBefore = FileAnnote::FileSize(exe);
    const uint8_t flag = force ? 1 : 0;
    bool ok = Append(exe, MakeBlock(content, name, flag));
    Info("Done. ");
    if (ok) {
        // Read it back the way the programs will.
        FileAnnote fa;
        std::vector<uint8_t> back;
        ok = fa.Scan(exe) >= 1 && name == fa.GetEntry(0).Name &&
             fa.GetEntry(0).ContentLength == int64_t(content.size()) && fa.GetEntry(0).Overwrite == flag &&
             ReadRange(exe, fa.GetEntry(0).EndOffset - fa.GetEntry(0).TotalLength + FileAnnote::MarkerSize,
                       int64_t(content.size()), back) &&
             back == content;
    }
    if (!ok) {
        Truncate(exe, sizeBefore);
        std::printf("FAIL\n");
        return 1;
    }
    Info("OK\n");
    return 0;
}

int CmdRemove(const std::string& exe, const std::string& name)
{
    Info("remove {%s}\n", exe.c_str());
    FilePtr f(std::fopen(exe.c_str(), "rb"));
    if (!f) {
        std::fprintf(stderr, "Error: Unable to open the file for reading {%s}\n", exe.c_str());
        return 1;
    }
    f.reset();
    int64_t before = 0, after = 0;
    if (!RemoveBlocks(exe, name, before, after)) {
        std::fprintf(stderr, "Error: Unable to open the first file for appending {%s}\n", exe.c_str());
        return 1;
    }
    Info("Done, size was %ld, size is %ld.\n", long(before), long(after));
    return 0;
}

int CmdExtract(const std::string& exe, const std::string& dir)
{
    FilePtr f(std::fopen(exe.c_str(), "rb"));
    if (!f) {
        std::fprintf(stderr, "Error: Unable to open the file for reading {%s}\n", exe.c_str());
        return 1;
    }
    f.reset();
    FileAnnote fa;
    int n = fa.Scan(exe);
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        const auto& e = fa.GetEntry(i);
        const std::string target = FileAnnote::TargetPath(dir, e.Name);
        Info("copy {%s} {%s}\n", e.Name, target.c_str());
        if (FileAnnote::FileExists(target) && e.Overwrite != 1) {
            Info("Done - %s.\n", "OK, kept the existing file");
            continue;
        }
        bool done = fa.ExtractEntry(exe, dir, e);
        ok = ok && done;
        if (done)
            Info("Done - %s.\n", "OK");
        else
            std::printf("Done - %s.\n", "FAILED");
    }
    Info("Done.\n");
    return ok ? 0 : 1;
}

int CmdCopy(const std::string& exe, const std::string& name, const std::string& file2)
{
    Info("copy {%s} {%s}\n", name.c_str(), file2.c_str());
    FilePtr f(std::fopen(exe.c_str(), "rb"));
    if (!f) {
        std::fprintf(stderr, "Error: Unable to open the file for reading {%s}\n", exe.c_str());
        return 1;
    }
    f.reset();
    if (FileAnnote::FileExists(file2)) {
        std::fprintf(stderr, "Error: file2 already exists {%s}\n", file2.c_str());
        return 1;
    }
    FileAnnote fa;
    int n = fa.Scan(exe);
    const TFileAnnoteEntry* found = nullptr;
    for (int i = 0; i < n && !found; ++i)
        if (name == fa.GetEntry(i).Name) found = &fa.GetEntry(i);
    std::vector<uint8_t> content;
    bool ok = found && ReadRange(exe, found->EndOffset - found->TotalLength + FileAnnote::MarkerSize,
                                 found->ContentLength, content);
    if (ok) {
        FilePtr out(std::fopen(file2.c_str(), "wbx"));
        if (!out) {
            std::fprintf(stderr, "Error: Unable to create file2 {%s}\n", file2.c_str());
            return 1;
        }
        ok = std::fwrite(content.data(), 1, content.size(), out.get()) == content.size();
        ok = std::fclose(out.release()) == 0 && ok;
        if (!ok) std::filesystem::remove(file2);
    }
    if (!ok) {
        std::printf("Done - %s.\n", "FAILED");
        return 1;
    }
    Info("Done - %s.\n", "OK");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // Progress lines and errors go to different streams; keep them in order on a terminal.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> pos;
    std::string name;
    bool haveName = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--quiet") {
            gQuiet = true;
        } else if (a == "--name") {
            if (i + 1 >= argc) return Usage("--name needs a value");
            name = argv[++i];
            haveName = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return Usage(("unknown option " + a).c_str());
        } else {
            pos.push_back(a);
        }
    }
    if (pos.empty()) return Usage("no command given");
    const std::string cmd = pos[0];
    auto need = [&](size_t n) { return pos.size() == n + 1; };
    if (haveName && name.empty()) return Usage("--name needs a value");

    if (cmd == "list") {
        if (!need(1)) return Usage("list takes one executable");
        return CmdList(pos[1]);
    }
    if (cmd == "add" || cmd == "force") {
        if (!need(2)) return Usage((cmd + " takes an executable and a file").c_str());
        return CmdAdd(pos[1], pos[2], name, cmd == "force");
    }
    if (cmd == "remove") {
        if (!need(1)) return Usage("remove takes one executable");
        return CmdRemove(pos[1], name);
    }
    if (cmd == "extract") {
        if (!need(2)) return Usage("extract takes an executable and a directory");
        return CmdExtract(pos[1], pos[2]);
    }
    if (cmd == "copy") {
        if (!need(3)) return Usage("copy takes an executable, a name and a file");
        return CmdCopy(pos[1], pos[2], pos[3]);
    }
    return Usage(("unknown command " + cmd).c_str());
}
