#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

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

    std::filesystem::path dir_;
};

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

} // namespace
} // namespace plentor::platform
