#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "share/fileannote.h"

namespace fs = std::filesystem;

namespace {

// A block laid out byte by byte here, independent of the packaging tool, with ways to damage it.
struct Block {
    Block(std::string n, std::string c, uint8_t f = 0) : name(std::move(n)), content(std::move(c)), flag(f) {}
    std::string name;
    std::string content;
    uint8_t flag = 0;
    bool badHeader = false;
    bool badTrailer = false;
    std::optional<uint32_t> total;       // stored total length instead of the true one
    std::optional<uint32_t> contentLen;  // stored content length instead of the true one
};

void PutU32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s.push_back(char(uint8_t(v >> (8 * i))));
}

std::string Encode(const Block& b)
{
    std::string s;
    std::string header = "\xFF\xFF\xFF\xFF\xCA\xFE\xF0\x0D\x88\x99\xAA\xBB" + std::string(4, '\0');
    std::string trailer = "\xFF\xFF\xFF\xFF\xCA\xFE\xF0\x0D\x88\x99\xAA\xBB\x01\x01\x01\x01";
    if (b.badHeader) header[5] = 'X';
    if (b.badTrailer) trailer[15] = 0;
    s += header;
    s += b.content;
    PutU32(s, b.total.value_or(uint32_t(b.content.size() + 76)));
    PutU32(s, b.contentLen.value_or(uint32_t(b.content.size())));
    s.push_back(char(b.flag));
    std::string name = b.name.substr(0, 32);
    name.resize(32, '\0');
    s += name;
    s += std::string("\x00\x40\x00", 3);
    s += trailer;
    return s;
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const std::string& data)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << data;
}

std::map<std::string, std::string> DirContents(const fs::path& dir)
{
    std::map<std::string, std::string> m;
    for (const auto& e : fs::directory_iterator(dir))
        m[e.path().filename().string()] = e.is_regular_file() ? ReadFile(e.path()) : "<dir>";
    return m;
}

class FileAnnoteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root = fs::temp_directory_path() / ("zt7-annote-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(root / "out");
        exe = root / "PROGRAM";
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root, exe;
};

struct Case {
    const char* what;
    std::string image;          // program bytes before the blocks
    std::vector<Block> blocks;  // in file order
    std::string tail;           // bytes after the last block
    size_t cut = 0;             // bytes cut off the end of the file
    std::map<std::string, std::string> before;  // files already in the target directory
    std::vector<std::string> found;             // names in the order found
    std::map<std::string, std::string> after;   // the target directory afterwards, exactly
};

const std::string kImage(300, 'P');
const std::string kName32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";

std::vector<Case> Cases()
{
    std::vector<Case> c;
    c.push_back({"one block is extracted", kImage, {{"ZT7.INI", "a=1\r\n"}}, "", 0, {},
                 {"ZT7.INI"}, {{"ZT7.INI", "a=1\r\n"}}});
    c.push_back({"an existing file is kept byte for byte with flag 0", kImage,
                 {{"ZT7.INI", "a=1\r\n", 0}}, "", 0, {{"ZT7.INI", "mine\n\x01"}},
                 {"ZT7.INI"}, {{"ZT7.INI", "mine\n\x01"}}});
    c.push_back({"flag 1 replaces an existing file", kImage, {{"ZT7.INI", "a=1\r\n", 1}}, "", 0,
                 {{"ZT7.INI", "mine, and longer than the new one"}}, {"ZT7.INI"},
                 {{"ZT7.INI", "a=1\r\n"}}});
    c.push_back({"any flag other than 1 keeps the existing file", kImage, {{"ZT7.INI", "a=1\r\n", 2}},
                 "", 0, {{"ZT7.INI", "mine"}}, {"ZT7.INI"}, {{"ZT7.INI", "mine"}}});
    c.push_back({"binary content passes unchanged", kImage,
                 {{"bin", std::string("\0\xFF\r\n\x1A", 5) + std::string(5000, '\x80')}}, "", 0, {},
                 {"bin"}, {{"bin", std::string("\0\xFF\r\n\x1A", 5) + std::string(5000, '\x80')}}});
    c.push_back({"a 76-byte file holding one empty block", "", {{"E", ""}}, "", 0, {}, {"E"}, {{"E", ""}}});
    c.push_back({"two blocks are found, the later first", kImage, {{"first", "1"}, {"second", "22"}}, "",
                 0, {}, {"second", "first"}, {{"first", "1"}, {"second", "22"}}});
    {
        Block damaged{"b", "2"};
        damaged.badHeader = true;
        c.push_back({"a damaged header hides its block and those before it", kImage,
                     {{"a", "1"}, damaged, {"c", "3"}}, "", 0, {}, {"c"}, {{"c", "3"}}});
    }
    {
        Block damaged{"c", "3"};
        damaged.badTrailer = true;
        c.push_back({"a damaged last trailer hides every block", kImage, {{"a", "1"}, damaged}, "", 0, {},
                     {}, {}});
    }
    c.push_back({"a name of 32 characters is used whole", kImage, {{kName32, "x"}}, "", 0, {}, {kName32},
                 {{kName32, "x"}}});
    {
        Block huge{"a", "1"};
        huge.total = 1000000;
        c.push_back({"a total length beyond the file's start", kImage, {huge}, "", 0, {}, {}, {}});
    }
    {
        Block zero{"b", "2"};
        zero.total = 0;
        c.push_back({"a total length of 0 neither loops nor finds", kImage, {{"a", "1"}, zero}, "", 0, {}, {},
                     {}});
        Block small{"b", "2"};
        small.total = 75;
        c.push_back({"a total length below 76", kImage, {{"a", "1"}, small}, "", 0, {}, {}, {}});
    }
    {
        Block over{"a", "12345"};
        over.contentLen = 6;
        c.push_back({"a content length running into the descriptor", kImage, {over}, "", 0, {}, {}, {}});
        Block under{"a", "12345"};
        under.contentLen = 2;
        c.push_back({"a shorter content length extracts that much", kImage, {under}, "", 0, {}, {"a"},
                     {{"a", "12"}}});
    }
    c.push_back({"a truncated block", kImage, {{"a", "1"}, {"b", "2"}}, "", 10, {}, {}, {}});
    c.push_back({"bytes after the last block", kImage, {{"a", "1"}}, "junk", 0, {}, {}, {}});
    c.push_back({"names leaving the directory are not extracted", kImage,
                 {{"../escaped", "1"}, {"..", "2"}, {"sub/x", "3"}, {"", "4"}, {"ok", "5"}}, "", 0, {},
                 {"ok", "", "sub/x", "..", "../escaped"}, {{"ok", "5"}}});
    return c;
}

TEST_F(FileAnnoteTest, ExtractAllCases)
{
    for (const Case& tc : Cases()) {
        SCOPED_TRACE(tc.what);
        fs::remove_all(root / "out");
        fs::create_directories(root / "out");
        std::string file = tc.image;
        for (const Block& b : tc.blocks) file += Encode(b);
        file += tc.tail;
        file.resize(file.size() - tc.cut);
        WriteFile(exe, file);
        for (const auto& [name, data] : tc.before) WriteFile(root / "out" / name, data);

        FileAnnote fa;
        int n = fa.ExtractAll(exe.string(), (root / "out").string());
        std::vector<std::string> found;
        for (int i = 0; i < n; ++i) found.push_back(fa.GetEntry(i).Name);
        EXPECT_EQ(found, tc.found);
        // Exactly these files: nothing half-written, no temporary left, nothing outside.
        EXPECT_EQ(DirContents(root / "out"), tc.after);
        EXPECT_EQ(DirContents(root).size(), 2u) << "something was written beside the target directory";
    }
}

TEST_F(FileAnnoteTest, AFileOf75BytesIsNotLookedAt)
{
    // The last 75 bytes of a valid empty block: the trailer is in place, the header is not.
    WriteFile(exe, Encode({"E", ""}).substr(1));
    FileAnnote fa;
    EXPECT_EQ(fa.ExtractAll(exe.string(), (root / "out").string()), 0);
    EXPECT_TRUE(DirContents(root / "out").empty());
}

TEST_F(FileAnnoteTest, EntriesCarryTheDescriptor)
{
    std::string file = kImage + Encode({"one", "abc", 1}) + Encode({"two", "defgh", 0});
    WriteFile(exe, file);
    FileAnnote fa;
    ASSERT_EQ(fa.Scan(exe.string()), 2);
    const auto& last = fa.GetEntry(0);
    EXPECT_TRUE(last.Found);
    EXPECT_EQ(last.EndOffset, int64_t(file.size()));
    EXPECT_EQ(last.TotalLength, 5 + 76);
    EXPECT_EQ(last.ContentLength, 5);
    EXPECT_EQ(last.Overwrite, 0);
    const auto& first = fa.GetEntry(1);
    EXPECT_EQ(first.EndOffset, int64_t(file.size()) - 81);
    EXPECT_EQ(first.Overwrite, 1);
    EXPECT_STREQ(first.Name, "one");
    EXPECT_EQ(DirContents(root / "out").size(), 0u) << "scanning alone extracts nothing";
}

TEST_F(FileAnnoteTest, AtMostAHundredBlocksAreRead)
{
    std::string file = kImage;
    for (int i = 0; i < 101; ++i) file += Encode({"f" + std::to_string(i), std::to_string(i)});
    WriteFile(exe, file);
    FileAnnote fa;
    EXPECT_EQ(fa.ExtractAll(exe.string(), (root / "out").string()), 100);
    auto out = DirContents(root / "out");
    EXPECT_EQ(out.size(), 100u);
    EXPECT_EQ(out.count("f0"), 0u);  // the earliest block is the one beyond the limit
    EXPECT_EQ(out["f100"], "100");
}

TEST_F(FileAnnoteTest, ReadEntryRefusesOffsetsTooSmallForABlock)
{
    std::string file = Encode({"a", ""});
    WriteFile(exe, file);
    std::FILE* f = std::fopen(exe.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    FileAnnote fa;
    for (int64_t end : {int64_t(-5), int64_t(0), int64_t(75), int64_t(77), int64_t(1000)}) {
        TFileAnnoteEntry e;
        e.EndOffset = end;
        e.Found = true;
        EXPECT_FALSE(fa.ReadEntry(f, e)) << end;
        EXPECT_FALSE(e.Found) << end;
    }
    TFileAnnoteEntry e;
    e.EndOffset = 76;
    EXPECT_TRUE(fa.ReadEntry(f, e));
    std::fclose(f);
    TFileAnnoteEntry none;
    none.EndOffset = 76;
    EXPECT_FALSE(fa.ReadEntry(nullptr, none));
}

TEST_F(FileAnnoteTest, MissingOrUnwritablePlacesYieldNothing)
{
    FileAnnote fa;
    EXPECT_EQ(fa.ExtractAll((root / "absent").string(), (root / "out").string()), 0);
    EXPECT_EQ(fa.ExtractAll(root.string(), (root / "out").string()), 0);  // a directory

    WriteFile(exe, kImage + Encode({"ZT7.INI", "x", 1}));
    EXPECT_EQ(fa.ExtractAll(exe.string(), (root / "no" / "such" / "dir").string()), 1);
    EXPECT_FALSE(fs::exists(root / "no"));

    // The target name is taken by a directory: the flag says replace, but a directory is not
    // replaced and no temporary is left behind.
    fs::create_directories(root / "out" / "ZT7.INI");
    EXPECT_EQ(fa.ExtractAll(exe.string(), (root / "out").string()), 1);
    EXPECT_EQ(DirContents(root / "out"), (std::map<std::string, std::string>{{"ZT7.INI", "<dir>"}}));
}

TEST_F(FileAnnoteTest, ExtractsIntoATrailingSlashDirectory)
{
    WriteFile(exe, kImage + Encode({"ZT7.INI", "x"}));
    FileAnnote fa;
    fa.ExtractAll(exe.string(), (root / "out").string() + "/");
    EXPECT_EQ(ReadFile(root / "out" / "ZT7.INI"), "x");
    EXPECT_EQ(FileAnnote::TargetPath("", "ZT7.INI"), "ZT7.INI");
    EXPECT_EQ(FileAnnote::TargetPath("/a/b", "ZT7.INI"), "/a/b/ZT7.INI");
}

TEST_F(FileAnnoteTest, FileExistsAndFileSize)
{
    EXPECT_FALSE(FileAnnote::FileExists((root / "absent").string()));
    EXPECT_EQ(FileAnnote::FileSize((root / "absent").string()), 0);
    WriteFile(exe, std::string(123, 'x'));
    EXPECT_TRUE(FileAnnote::FileExists(exe.string()));
    EXPECT_EQ(FileAnnote::FileSize(exe.string()), 123);
    EXPECT_EQ(FileAnnote::FileSize(root.string()), 0);
}

}  // namespace
