#include "platform/Files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <iterator>
#include <string>
#include <vector>

namespace plentor::platform {
namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_files_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Read(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in the directory, to catch temporary files left behind.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::filesystem::path dir_;
};

TEST_F(FilesTest, WriteWholeFileReplacesTheFileAndLeavesNothingElse)
{
    const std::string path = (dir_ / "cookies.xml").string();
    FileError err;
    ASSERT_TRUE(WriteWholeFile(path.c_str(), "first version", 13, err)) << err.message;
    ASSERT_TRUE(WriteWholeFile(path.c_str(), "second", 6, err)) << err.message;
    EXPECT_EQ(Read(path), "second");
    EXPECT_EQ(Names(), std::vector<std::string>{"cookies.xml"});

    const std::string missing = (dir_ / "no-such-dir" / "file").string();
    EXPECT_FALSE(WriteWholeFile(missing.c_str(), "x", 1, err));
    EXPECT_NE(err.code, 0);
    EXPECT_FALSE(err.message.empty());
}

#ifndef _WIN32
// A write that fails midway (here the file size limit stands in for a full
// disk) leaves the old file as it was, and no temporary file behind.
TEST_F(FilesTest, FailedWholeFileWriteKeepsTheOldFile)
{
    const std::string path = (dir_ / "links.txt").string();
    FileError err;
    ASSERT_TRUE(WriteWholeFile(path.c_str(), "old list\n", 9, err)) << err.message;
    const std::string big(100000, 'n');
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        FileError childErr;
        _exit(WriteWholeFile(path.c_str(), big.data(), big.size(), childErr) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the write should have failed";
    EXPECT_EQ(Read(path), "old list\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"links.txt"});
}
#endif

TEST_F(FilesTest, ReadWholeFileUpToStopsPastTheLimit)
{
    std::string path = (dir_ / "ten.txt").string();
    std::ofstream(path, std::ios::binary) << "0123456789";
    std::vector<uint8_t> bytes;
    FileError err;
    ASSERT_TRUE(ReadWholeFileUpTo(path.c_str(), 10, bytes, err));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");

    EXPECT_FALSE(ReadWholeFileUpTo(path.c_str(), 9, bytes, err));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(err.code, 0);
    EXPECT_FALSE(err.message.empty());
}

TEST_F(FilesTest, AppendToFileCreatesTheFileThenAppends)
{
    const std::string path = (dir_ / "journal.done").string();
    FileError err;
    ASSERT_TRUE(AppendToFile(path.c_str(), "first\n", 6, err)) << err.message;
    ASSERT_TRUE(AppendToFile(path.c_str(), "second\n", 7, err)) << err.message;
    EXPECT_EQ(Read(path), "first\nsecond\n");

    const std::string missing = (dir_ / "no-such-dir" / "journal.done").string();
    EXPECT_FALSE(AppendToFile(missing.c_str(), "x", 1, err));
    EXPECT_FALSE(err.message.empty());
}

#ifndef _WIN32
TEST_F(FilesTest, AccessByOthersReadsThePermissionBits)
{
    const std::string path = (dir_ / "netrc").string();
    std::ofstream(path) << "machine h";
    const struct {
        mode_t mode;
        bool read, write;
    } cases[] = {
        {0600, false, false}, {0400, false, false}, {0700, false, false}, {0640, true, false}, {0604, true, false},
        {0620, false, true},  {0602, false, true},  {0660, true, true},   {0606, true, true},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        OthersAccess others;
        FileError err;
        ASSERT_TRUE(AccessByOthers(path.c_str(), others, err)) << err.message;
        EXPECT_EQ(others.read, c.read) << std::oct << c.mode;
        EXPECT_EQ(others.write, c.write) << std::oct << c.mode;
    }
}
#endif

TEST_F(FilesTest, AccessByOthersOfAMissingFileFails)
{
    const std::string missing = (dir_ / "absent").string();
    OthersAccess others;
    FileError err;
    EXPECT_FALSE(AccessByOthers(missing.c_str(), others, err));
    EXPECT_FALSE(err.message.empty());
}

} // namespace
} // namespace plentor::platform
