#include "share/meminifile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace {

std::string TempPath(const char* tag) {
    return "/tmp/zt7-ini-" + std::to_string(getpid()) + "-" + tag + ".ini";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace

TEST(MemIniFile, FloatTextIsGeneralFormatWith15Digits) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {static_cast<double>(0.05f), "0.0500000007450581"},
        {static_cast<double>(0.205f), "0.204999998211861"},
        {static_cast<double>(0.505f), "0.504999995231628"},
        {300.0, "300"},
        {0.5, "0.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {-0.25, "-0.25"},
        {1.234568, "1.234568"},
        {0.00001, "0.00001"},  // exponent -5 still plain
        {0.0000015, "1.5E-6"}, // below -5: scientific
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"}, // at 15: scientific
        {2.5e20, "2.5E20"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {99999999999999.99, "100000000000000"}, // rounds up at the 15th digit
    };
    for (const Case& c : cases)
        EXPECT_EQ(MemIniFile::FloatToStr(c.value), c.text) << c.value;
}

TEST(MemIniFile, NumbersReadAsTheyAreWrittenOrFallBackToTheDefault) {
    MemIniFile ini;
    ini.SetText(
        "[S]\nhex=0x10\nHEXU=0XfF\nneg=-5\nspaced=  7  \nword=yes\nempty=\nbig=99999999999\n"
        "f=0.3\nexp=1e-3\ncomma=1,5\ninf=inf\nnan=nan\nhexf=0x1p3\nminusHex=-0x10\n");
    struct IntCase {
        const char* key;
        int expect;
    } ints[] = {{"hex", 16},    {"hexu", 255}, {"neg", -5}, {"spaced", 7},    {"word", -99},
                {"empty", -99}, {"big", -99},  {"f", -99},  {"missing", -99}, {"minusHex", -16}};
    for (const IntCase& c : ints)
        EXPECT_EQ(ini.ReadInteger("s", c.key, -99), c.expect) << c.key;

    struct FloatCase {
        const char* key;
        double expect;
    } floats[] = {{"f", 0.3},    {"exp", 0.001}, {"neg", -5.0},  {"comma", -1.0}, {"inf", -1.0},
                  {"nan", -1.0}, {"hexf", -1.0}, {"word", -1.0}, {"empty", -1.0}, {"none", -1.0}};
    for (const FloatCase& c : floats)
        EXPECT_EQ(ini.ReadFloat("S", c.key, -1.0), c.expect) << c.key;

    EXPECT_TRUE(ini.ReadBool("S", "hex", false));
    EXPECT_TRUE(ini.ReadBool("S", "word", true)); // not a number: the default
    EXPECT_FALSE(ini.ReadBool("S", "word", false));
}

TEST(MemIniFile, LookupIgnoresCaseAndWriteBackKeepsOrderWithCrLf) {
    MemIniFile ini;
    ini.SetText("[Comm]\r\nPortInt1=2\r\nRateInt1=5\r\n\r\n[Damped]\r\nSnapRadiusFlo1=0.05\r\n");
    EXPECT_EQ(ini.ReadInteger("COMM", "portint1", 0), 2);
    EXPECT_TRUE(ini.SectionExists("damped"));
    EXPECT_TRUE(ini.ValueExists("Damped", "SNAPRADIUSFLO1"));

    ini.WriteInteger("comm", "RATEINT1", 9);   // existing key keeps its place and spelling
    ini.WriteInteger("Comm", "NewInt1", 1);    // new key appended to its section
    ini.WriteString("Extra", "Key", "a\r\nb"); // new section appended; no line break smuggled
    EXPECT_EQ(ini.Text(), "[Comm]\r\nPortInt1=2\r\nRateInt1=9\r\nNewInt1=1\r\n\r\n"
                          "[Damped]\r\nSnapRadiusFlo1=0.05\r\n\r\n"
                          "[Extra]\r\nKey=a  b\r\n\r\n");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Comm", "Damped", "Extra"}));
    EXPECT_EQ(ini.ReadSection("comm"),
              (std::vector<std::string>{"PortInt1", "RateInt1", "NewInt1"}));

    const std::string path = TempPath("order");
    ASSERT_TRUE(ini.UpdateFile(path));
    EXPECT_EQ(Slurp(path), ini.Text());
    MemIniFile back(path);
    EXPECT_EQ(back.Text(), ini.Text());
    std::remove(path.c_str());
}

TEST(MemIniFile, BadInputNeverBreaksReading) {
    std::string junk;
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>(rng() & 0xFF);
    struct Case {
        const char* name;
        std::string text;
        int expectA; // value of [S] a afterwards
    } cases[] = {
        {"garbage lines", "just words\n=novalue\n[S\n[S]\nnot a key\na=4\n]x[\n;comment=9\n", 4},
        {"keys before any section", "a=1\n[S]\nb=2\n", -1},
        {"binary junk", junk + "\n[S]\na=5\n" + junk, 5},
        {"nul bytes in value", std::string("[S]\na=6\0\x01", 9) + "\n", -1},
        {"very long line",
         "[S]\n" + std::string(1 << 20, 'k') + "=1\na=7\n" + "b=" + std::string(1 << 20, '9') +
             "\n",
         7},
        {"duplicate keys: first wins", "[S]\na=8\nA=9\n", 8},
        {"empty", "", -1},
        {"no final line end", "[S]\na=3", 3},
    };
    for (const Case& c : cases) {
        MemIniFile ini;
        ini.SetText(c.text);
        EXPECT_EQ(ini.ReadInteger("S", "a", -1), c.expectA) << c.name;
        // Round trip through the file is stable.
        MemIniFile again;
        again.SetText(ini.Text());
        EXPECT_EQ(again.Text(), ini.Text()) << c.name;
    }
}

TEST(MemIniFile, MissingOrUnwritableFile) {
    MemIniFile missing("/nonexistent-dir/zt7/none.ini");
    EXPECT_TRUE(missing.ReadSections().empty());
    EXPECT_EQ(missing.ReadInteger("S", "a", 11), 11);
    missing.WriteInteger("S", "a", 1);
    EXPECT_FALSE(missing.UpdateFile()); // the folder does not exist: reported, not thrown

    const std::string path = TempPath("junkfile");
    Spit(path, "\xEF\xBB\xBF[S]\r\na=12\r\n"); // UTF-8 byte-order mark from an editor
    MemIniFile fromDisk(path);
    EXPECT_EQ(fromDisk.ReadInteger("S", "a", 0), 12);
    std::remove(path.c_str());
}
