// The packaging tool and the post-build step, on executables built for these tests.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "share/fileannote.h"

namespace fs = std::filesystem;

namespace {

// The default settings text as both programs must carry it, up to the [General] section.
std::string DefaultIni()
{
    const char* lines[] = {
        "[Damped]", "SnapRadiusFlo1=0.0500000007450581", "",
        "[Output]", "EnabledBoo1=0", "PressTypeInt1=0", "StartDelayInt1=0", "",
        "[Sense]", "FixedThresholdFlo1=300", "MinThresholdFlo1=10", "TouchRatioFlo1=0.204999998211861",
        "PressRatioFlo1=0.104999996721745", "AdvancedBoo1=0", "",
        "[Edge]", "TopGainFlo1=0", "BottomGainFlo1=0", "LeftGainFlo1=0", "RightGainFlo1=0", "",
        "[DeWiggle]", "OuterFlo1=0.5", "InnerFlo1=0.504999995231628", "AdvancedBoo1=0", "",
        "[Comm]", "PortInt1=9", "BaudInt1=4", "CycleSizeInt1=5", "AdvancedBoo1=0", "ReqMuxSizeInt1=64",
        "MuxOrderInt1=0", "ReqOpenBoo1=1", "",
        "[Split]", "Split0Int1=12", "Split1Int1=40", "Flip0Int1=0", "Flip1Int1=0", "Flip2Int1=1", "",
        "[Calibrate]", "TargetPos=0.100000001490116", "Ref_TL_X=0.100000001490116",
        "Ref_TL_Y=0.100000001490116", "Ref_TL_A=0.100000001490116", "Ref_TL_B=0.100000001490116",
        "Ref_TR_X=0.899999976158142", "Ref_TR_Y=0.100000001490116", "Ref_TR_A=0.899999976158142",
        "Ref_TR_B=0.100000001490116", "Ref_BL_X=0.100000001490116", "Ref_BL_Y=0.899999976158142",
        "Ref_BL_A=0.100000001490116", "Ref_BL_B=0.899999976158142", "",
    };
    std::string text;
    for (const char* l : lines) text += std::string(l) + "\r\n";
    return text;
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

struct Result {
    int code;
    std::string out;  // stdout and stderr together
};

Result Shell(const std::string& cmd)
{
    Result r{-1, {}};
    std::FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class Packaging : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("zt7-pack-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Q(const fs::path& p) const { return "'" + p.string() + "'"; }
    fs::path dir;
};

TEST_F(Packaging, BuiltProgramsCarryAndExtractTheirDefaultSettings)
{
    struct Program {
        const char* path;
        const char* version;
    } programs[] = {{ZT7_SAMPLE_DRIVER, "ZT7.0.0.92"}, {ZT7_SAMPLE_PANEL, "NX7.0.0.92"}};
    std::string texts[2];
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(programs[i].path);
        FileAnnote fa;
        ASSERT_EQ(fa.Scan(programs[i].path), 1) << "exactly one block, even after a re-link";
        EXPECT_STREQ(fa.GetEntry(0).Name, "ZT7.INI");
        EXPECT_EQ(fa.GetEntry(0).Overwrite, 0);

        fs::path out = dir / std::to_string(i);
        fs::create_directories(out);
        // The program still runs with the block appended, and finds it from its own file.
        Result r = Shell(std::string("'") + programs[i].path + "' " + Q(out));
        EXPECT_EQ(r.code, 0) << r.out;
        texts[i] = ReadFile(out / "ZT7.INI");
        const std::string head = DefaultIni();
        ASSERT_GE(texts[i].size(), head.size());
        EXPECT_EQ(texts[i].substr(0, head.size()), head);
        const std::string general = texts[i].substr(head.size());
        EXPECT_EQ(general.rfind("[General]\r\nProduct=Tactilo\r\nVersion=" + std::string(programs[i].version) +
                                    "\r\n",
                                0),
                  0u)
            << general;
        for (const char* key : {"Copyright=", "Company=", "Address1=", "Address2=", "Address3=", "Address4=",
                                "Telephone=", "Patents_US="})
            EXPECT_NE(general.find(std::string("\r\n") + key), std::string::npos) << key;
        EXPECT_EQ(general.size() >= 4 ? general.substr(general.size() - 4) : "", "\r\n\r\n")
            << "ends with the blank line after the last key";
        EXPECT_EQ(texts[i].find('\n'), texts[i].find("\r\n") + 1);
        size_t bare = 0;
        for (size_t k = 0; k < texts[i].size(); ++k)
            if (texts[i][k] == '\n' && (k == 0 || texts[i][k - 1] != '\r')) ++bare;
        EXPECT_EQ(bare, 0u) << "every line ends in CR LF";
    }
    // The two copies differ only in the Version value.
    std::string a = texts[0], b = texts[1];
    auto pos = a.find("ZT7.0.0.92");
    ASSERT_NE(pos, std::string::npos);
    a.replace(pos, 10, "NX7.0.0.92");
    EXPECT_EQ(a, b);
}

TEST_F(Packaging, ToolCommands)
{
    const std::string tool = std::string("'") + ZT7_ANNOTE_TOOL + "'";
    const fs::path exe = dir / "prog";
    WriteFile(exe, std::string(500, 'P'));
    WriteFile(dir / "ZT7.INI", "a=1\r\n");
    WriteFile(dir / "other.txt", "other");
    WriteFile(dir / "empty", "");
    const std::string name32(32, 'N'), name33(33, 'N');

    struct Step {
        std::string args;
        int code;
        std::string expect;  // a text the output must contain
    } steps[] = {
        {"--help", 0, "Usage: zt7-annote"},
        {"", 2, "no command given"},
        {"frob " + Q(exe), 2, "unknown command frob"},
        {"add " + Q(exe), 2, "takes an executable and a file"},
        {"list " + Q(dir / "absent"), 1, "Error: Unable to open the file for reading {"},
        {"add " + Q(dir / "empty") + " " + Q(dir / "ZT7.INI"), 1, "Error: First file is too short"},
        {"add " + Q(exe) + " " + Q(dir / "empty"), 1, "Error: Second file is too short"},
        {"add " + Q(exe) + " " + Q(dir / "absent"), 1, "Error: Unable to open the second file for reading {"},
        {"add " + Q(exe) + " " + Q(dir / "ZT7.INI"), 0, "add {" + exe.string() + "} {"},
        {"force " + Q(exe) + " " + Q(dir / "other.txt"), 0, "Done. OK"},
        {"list " + Q(exe), 0, "0 other.txt 5 force\n1 ZT7.INI 5 add\nDone.\n"},
        // The same name again replaces the earlier block rather than stacking a second one.
        {"add " + Q(exe) + " " + Q(dir / "other.txt") + " --name ZT7.INI", 0, "replace {ZT7.INI}"},
        {"list " + Q(exe), 0, "0 ZT7.INI 5 add\n1 other.txt 5 force\nDone.\n"},
        {"add " + Q(exe) + " " + Q(dir / "ZT7.INI") + " --name " + name33, 1, "longer than 32"},
        {"add " + Q(exe) + " " + Q(dir / "ZT7.INI") + " --name ../x", 1, "plain file name"},
        {"add " + Q(exe) + " " + Q(dir / "ZT7.INI") + " --name " + name32, 0, "Done. OK"},
        {"copy " + Q(exe) + " " + name32 + " " + Q(dir / "copied"), 0, "Done - OK."},
        {"copy " + Q(exe) + " " + name32 + " " + Q(dir / "copied"), 1, "Error: file2 already exists {"},
        {"copy " + Q(exe) + " nothere " + Q(dir / "copied2"), 1, "Done - FAILED."},
        {"copy " + Q(exe) + " ZT7.INI " + Q(dir / "no/dir/x"), 1, "Error: Unable to create file2 {"},
        {"remove " + Q(exe) + " --name other.txt", 0, "Done, size was 743, size is 662."},
        {"list " + Q(exe), 0, "0 " + name32 + " 5 add\n1 ZT7.INI 5 add\nDone.\n"},
        {"remove " + Q(exe), 0, "Done, size was 662, size is 500."},
        {"list " + Q(exe), 0, "list {" + exe.string() + "}\nDone.\n"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args);
        Result r = Shell(tool + " " + s.args);
        EXPECT_EQ(r.code, s.code) << r.out;
        EXPECT_NE(r.out.find(s.expect), std::string::npos) << r.out;
    }
    EXPECT_EQ(ReadFile(dir / "copied"), "a=1\r\n");
    EXPECT_FALSE(fs::exists(dir / "copied2"));
    EXPECT_EQ(ReadFile(exe), std::string(500, 'P')) << "removing every block restores the program";
}

TEST_F(Packaging, ToolExtractFollowsTheProgramsRules)
{
    const std::string tool = std::string("'") + ZT7_ANNOTE_TOOL + "'";
    const fs::path exe = dir / "prog";
    WriteFile(exe, std::string(100, 'P'));
    WriteFile(dir / "a", "new a");
    WriteFile(dir / "b", "new b");
    ASSERT_EQ(Shell(tool + " add " + Q(exe) + " " + Q(dir / "a")).code, 0);
    ASSERT_EQ(Shell(tool + " force " + Q(exe) + " " + Q(dir / "b")).code, 0);
    fs::create_directories(dir / "out");
    WriteFile(dir / "out" / "a", "old a");
    WriteFile(dir / "out" / "b", "old b");
    Result r = Shell(tool + " extract " + Q(exe) + " " + Q(dir / "out"));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(dir / "out" / "a"), "old a");
    EXPECT_EQ(ReadFile(dir / "out" / "b"), "new b");
}

}  // namespace
