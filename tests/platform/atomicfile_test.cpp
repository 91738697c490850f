#include "platform/atomicfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zt7-atomic-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
};

TEST_F(AtomicFile, ReplacesContentsKeepsModeAndLeavesNoTemporary)
{
    const fs::path f = dir / "ZT7.INI";
    ASSERT_TRUE(WriteFileAtomically(f, "[A]\r\nx=1\r\n"));
    EXPECT_EQ(Read(f), "[A]\r\nx=1\r\n");
    ::chmod(f.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(f, std::string("b\0c", 3)));
    EXPECT_EQ(Read(f), std::string("b\0c", 3));
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_FALSE(fs::exists(dir / "ZT7.INI.tmp"));
}

TEST_F(AtomicFile, FailureLeavesTheOldFileIntact)
{
    const fs::path f = dir / "ZT7.INI";
    ASSERT_TRUE(WriteFileAtomically(f, "old"));
    // Something in the way of the temporary (works as root too, unlike folder permissions).
    fs::create_directory(dir / "ZT7.INI.tmp");
    EXPECT_FALSE(WriteFileAtomically(f, "new"));
    EXPECT_EQ(Read(f), "old");
    EXPECT_FALSE(WriteFileAtomically((dir / "missing" / "ZT7.INI").string(), "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
}

}  // namespace
