// The platform layer's own promises, the same on Windows (run under Wine) and here.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace vn {
namespace {

TEST(ImageBlock, ZeroFilledUsableAndNoneForZeroBytes) {
  EXPECT_EQ(platform::AllocImageBlock(0), nullptr);
  for (std::uint32_t bytes : {1u, 4096u, 3u * 1024u * 1024u + 7u}) {
    SCOPED_TRACE(bytes);
    auto* block = static_cast<unsigned char*>(platform::AllocImageBlock(bytes));
    ASSERT_NE(block, nullptr);
    std::uint32_t nonZero = 0;
    for (std::uint32_t i = 0; i < bytes; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0u);
    std::memset(block, 0xA5, bytes);  // the whole block is ours to write
    platform::FreeImageBlock(block);
  }
  // A block freed and taken again is handed out zero-filled once more.
  for (int round = 0; round < 2; ++round) {
    auto* block = static_cast<unsigned char*>(platform::AllocImageBlock(64));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0] | block[63], 0);
    std::memset(block, 0xFF, 64);
    platform::FreeImageBlock(block);
  }
}

TEST(CurrentDirectory, RefusedWhenItDoesNotFit) {
  char buffer[260];
  ASSERT_TRUE(platform::GetCurrentDirectory(buffer, sizeof buffer));
  std::uint32_t length = static_cast<std::uint32_t>(std::strlen(buffer));
  ASSERT_GT(length, 0u);
  EXPECT_TRUE(platform::GetCurrentDirectory(buffer, length + 1));  // just fits
  EXPECT_FALSE(platform::GetCurrentDirectory(buffer, length));     // no room for the terminator
  EXPECT_FALSE(platform::GetCurrentDirectory(buffer, 0));
}

class FileLengthTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (file_ != nullptr) std::fclose(file_);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  // A file of `length` bytes whose only written byte is its last (sparse where the file system
  // allows it, so even a large one costs next to no disk space).
  bool Make(std::int64_t length) {
    // In the test's working folder, the build's own, named by the test: tests may run at once.
    path_ = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".bin";
    file_ = std::fopen(path_.string().c_str(), "w+b");
    if (file_ == nullptr) return false;
    if (length == 0) return true;
#if defined(_WIN32)
    if (_fseeki64(file_, length - 1, SEEK_SET) != 0) return false;
#else
    if (fseeko(file_, static_cast<off_t>(length - 1), SEEK_SET) != 0) return false;
#endif
    if (std::fputc('x', file_) == EOF || std::fflush(file_) != 0) return false;
    std::rewind(file_);
    return true;
  }
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
};

TEST_F(FileLengthTest, SmallAndEmptyFilesAndBackAtTheStart) {
  for (std::int64_t length : {0, 1, 100000}) {
    SCOPED_TRACE(length);
    ASSERT_TRUE(Make(length));
    EXPECT_EQ(platform::FileLength(file_), length);
    // The caller reads the image from the start after measuring it.
    if (length > 0) {
      EXPECT_EQ(std::fgetc(file_), length == 1 ? 'x' : 0);
    }
    std::fclose(file_);
    file_ = nullptr;
  }
}

TEST_F(FileLengthTest, PastTwoGibibytesGivesTheTrueLength) {
  const std::int64_t length = (std::int64_t{1} << 31) + 4096;  // beyond a 32-bit long
  if (!Make(length)) GTEST_SKIP() << "cannot make a file of " << length << " bytes here";
  EXPECT_EQ(platform::FileLength(file_), length);
}

}  // namespace
}  // namespace vn
