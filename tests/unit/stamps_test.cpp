#include "images/stamps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vn {
namespace {

using Reader = int (*)(const char*, std::uint32_t*, std::uint32_t*);

// A file of `length` zero bytes with `stamp` written from `offset` (as far as it fits), removed
// again when the case is done.
class ImageFile {
 public:
  ImageFile(const std::string& name, std::size_t length, std::size_t offset,
            const std::vector<unsigned char>& stamp)
      : path_(::testing::TempDir() + "vn818_stamps_" + name) {
    std::vector<unsigned char> bytes(length, 0);
    for (std::size_t i = 0; i < stamp.size() && offset + i < length; ++i) {
      bytes[offset + i] = stamp[i];
    }
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) {
      ADD_FAILURE() << "cannot create " << path_;
      return;
    }
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  ~ImageFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

constexpr std::size_t kUsb = 49114, kMain = 26, kDsp = 61344, kTable = 26;
constexpr std::size_t kMissing = static_cast<std::size_t>(-1);

TEST(StampReaders, ReadEveryKindAndRefuseBadStamps) {
  struct Case {
    const char* what;
    Reader reader;
    std::size_t length;  // kMissing: no file at all
    std::size_t offset;
    std::vector<unsigned char> stamp;
    int code;
    std::uint32_t major;
    std::uint32_t minor;
  } cases[] = {
      {"main digits", ReadMainStamp, 30, kMain, {'0', '1', '2', '3'}, 0, 0x01, 0x23},
      {"table bytes", ReadTableStamp, 30, kTable, {'0', '1', '2', '3'}, 0, 0x340, 0x362},
      {"main lower case", ReadMainStamp, 30, kMain, {'0', 'a', '0', 'A'}, 0, 10, 10},
      {"dsp digits", ReadDspStamp, 61348, kDsp, {'f', 'F', '9', 'e'}, 0, 0xFF, 0x9E},
      {"main major high", ReadMainStamp, 30, kMain, {'/', '1', '2', '3'}, 1, 0, 0},
      {"main G at 27", ReadMainStamp, 30, kMain, {'0', 'G', '2', '3'}, 2, 0, 0},
      {"main minor high", ReadMainStamp, 30, kMain, {'0', '1', ':', '3'}, 3, 0, 0},
      {"main minor low", ReadMainStamp, 30, kMain, {'0', '1', '2', 0xC1}, 4, 0, 0},
      {"dsp blank at 61346", ReadDspStamp, 61348, kDsp, {'0', '1', ' ', '3'}, 3, 0, 0},
      {"dsp major low", ReadDspStamp, 61348, kDsp, {'0', 'g', '2', '3'}, 2, 0, 0},
      {"table low part first", ReadTableStamp, 30, kTable, {0x02, 0x01, 0x04, 0x03}, 0, 0x12, 0x34},
      {"table carry", ReadTableStamp, 30, kTable, {0x05, 0x10, 0x00, 0x00}, 0, 0x105, 0},
      {"table largest", ReadTableStamp, 30, kTable, {0xFF, 0xFF, 0xFF, 0xFF}, 0, 4335, 4335},
      {"usb raw", ReadUsbStamp, 49116, kUsb, {0x01, 0x20}, 0, 0x01, 0x20},
      {"usb top bytes", ReadUsbStamp, 49116, kUsb, {0xFF, 0xFF}, 0, 255, 255},
      {"usb missing", ReadUsbStamp, kMissing, 0, {}, 5, 0, 0},
      {"main missing", ReadMainStamp, kMissing, 0, {}, 5, 0, 0},
      {"dsp missing", ReadDspStamp, kMissing, 0, {}, 5, 0, 0},
      {"table missing", ReadTableStamp, kMissing, 0, {}, 5, 0, 0},
      // A file that ends inside its stamp gives no version made of bytes it does not hold.
      {"usb short", ReadUsbStamp, 49115, kUsb, {0x01, 0x20}, 5, 0, 0},
      {"main empty", ReadMainStamp, 0, kMain, {}, 5, 0, 0},
      {"main short in major", ReadMainStamp, 27, kMain, {'0', '1', '2', '3'}, 5, 0, 0},
      {"main short in minor", ReadMainStamp, 29, kMain, {'0', '1', '2', '3'}, 5, 0, 0},
      {"dsp short", ReadDspStamp, 61347, kDsp, {'0', '1', '2', '3'}, 5, 0, 0},
      {"table short", ReadTableStamp, 29, kTable, {0x02, 0x01, 0x04, 0x03}, 5, 0, 0},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint32_t major = 0xDEADBEEF;
    std::uint32_t minor = 0xDEADBEEF;
    int code;
    if (c.length == kMissing) {
      std::string path = ::testing::TempDir() + "vn818_stamps_no_such_image.bin";
      std::remove(path.c_str());
      code = c.reader(path.c_str(), &major, &minor);
    } else {
      ImageFile file(std::to_string(index) + ".bin", c.length, c.offset, c.stamp);
      code = c.reader(file.path(), &major, &minor);
    }
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
    ++index;
  }
}

TEST(HexDigits, DigitsAndValues) {
  for (int ch : {'0', '9', 'A', 'F', 'a', 'f'}) EXPECT_EQ(IsHexDigit(ch), 1) << ch;
  // Neighbours of the ranges, and bytes with the top bit set (also as a signed char would pass
  // them), are never digits.
  for (int ch : {int{'/'}, int{':'}, int{'@'}, int{'G'}, int{'`'}, int{'g'}, int{' '}, 0, 0xB0,
                 0xC1, 0xE1, -0x3F, -1}) {
    EXPECT_EQ(IsHexDigit(ch), 0) << ch;
  }

  struct Case {
    const char* text;
    int count;
    int value;
  } cases[] = {
      {"7", 1, 7},       {"a", 1, 10},   {"F", 1, 15}, {"ff", 2, 255},
      {"1234", 2, 0x12}, {"1G", 2, 0},  // no partial value
      {"x1", 2, 0},      {"\xC1", 1, 0}, {"5", 0, 0},  {"5", -1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(HexValue(c.text, c.count), c.value) << c.text;
}

TEST(IsOlderVersion, PrinterAgainstImage) {
  struct Case {
    std::uint32_t printerMajor, printerMinor, imageMajor, imageMinor;
    int older;
  } cases[] = {
      {0x01, 0x05, 0x01, 0x06, 1},
      {0x01, 0x06, 0x01, 0x06, 0},
      {0x01, 0x07, 0x01, 0x06, 0},
      {0x02, 0x00, 0x01, 0xFF, 0},
      {0x01, 0xFF, 0x02, 0x00, 1},
      {0x00, 0x10, 0x105, 0x00, 1},  // a TABLE stamp past one byte
      {0xFF, 0xFF, 0x105, 0x00, 1},
      {0x80000000u, 0, 0x7FFFFFFFu, 0, 0},  // unsigned, not signed
      {0x01, 0x7FFFFFFFu, 0x01, 0x80000000u, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsOlderVersion(c.printerMajor, c.printerMinor, c.imageMajor, c.imageMinor), c.older)
        << std::hex << c.printerMajor << "." << c.printerMinor << " vs " << c.imageMajor << "."
        << c.imageMinor;
  }
}

}  // namespace
}  // namespace vn
