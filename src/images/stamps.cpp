#include "images/stamps.h"

#include <cstdio>

#include "images/image_file.h"

namespace vn {
namespace {

constexpr long kUsbStampOffset = 49114;  // 0xBFDA: major, then minor, raw bytes
constexpr long kMainStampOffset = 26;    // 0x1A: four ASCII hex digits
constexpr long kDspStampOffset = 61344;  // 0xEFA0: four ASCII hex digits
constexpr long kTableStampOffset = 26;   // 0x1A: raw bytes, low part first

constexpr int kStampUnreadable = 5;

// Two bytes from `offset`; false when the file ends before them or the read fails, so no
// stamp is ever made of bytes that are not in the file.
bool ReadPair(std::FILE* file, long offset, unsigned char pair[2]) {
  if (std::fseek(file, offset, SEEK_SET) != 0) return false;
  return std::fread(pair, 1, 2, file) == 2;
}

int DigitValue(unsigned char ch) {
  char text = static_cast<char>(ch);
  return HexValue(&text, 1);
}

// MAIN and DSP keep the same four-digit stamp, only at different offsets.
int ReadHexStamp(const char* path, long base, std::uint32_t* major, std::uint32_t* minor) {
  *major = 0;
  *minor = 0;
  ImageFile file = OpenImageFile(path);
  if (!file) return kStampUnreadable;

  unsigned char first[2];
  if (!ReadPair(file.get(), base, first)) return kStampUnreadable;
  if (!IsHexDigit(first[0])) return 1;
  if (!IsHexDigit(first[1])) return 2;

  unsigned char second[2];
  if (!ReadPair(file.get(), base + 2, second)) return kStampUnreadable;
  if (!IsHexDigit(second[0])) return 3;
  if (!IsHexDigit(second[1])) return 4;

  *major = static_cast<std::uint32_t>(DigitValue(first[0]) * 16 + DigitValue(first[1]));
  *minor = static_cast<std::uint32_t>(DigitValue(second[0]) * 16 + DigitValue(second[1]));
  return 0;
}

}  // namespace

int ReadUsbStamp(const char* path, std::uint32_t* major, std::uint32_t* minor) {
  *major = 0;
  *minor = 0;
  ImageFile file = OpenImageFile(path);
  if (!file) return kStampUnreadable;
  unsigned char pair[2];
  if (!ReadPair(file.get(), kUsbStampOffset, pair)) return kStampUnreadable;
  *major = pair[0];
  *minor = pair[1];
  return 0;
}

int ReadMainStamp(const char* path, std::uint32_t* major, std::uint32_t* minor) {
  return ReadHexStamp(path, kMainStampOffset, major, minor);
}

int ReadDspStamp(const char* path, std::uint32_t* major, std::uint32_t* minor) {
  return ReadHexStamp(path, kDspStampOffset, major, minor);
}

int ReadTableStamp(const char* path, std::uint32_t* major, std::uint32_t* minor) {
  *major = 0;
  *minor = 0;
  ImageFile file = OpenImageFile(path);
  if (!file) return kStampUnreadable;
  unsigned char first[2];
  unsigned char second[2];
  if (!ReadPair(file.get(), kTableStampOffset, first) ||
      !ReadPair(file.get(), kTableStampOffset + 2, second)) {
    return kStampUnreadable;
  }
  // Not masked to a digit: a byte above 15 carries into the higher digits.
  *major = static_cast<std::uint32_t>(first[1]) * 16u + first[0];
  *minor = static_cast<std::uint32_t>(second[1]) * 16u + second[0];
  return 0;
}

int IsHexDigit(int ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f') ? 1 : 0;
}

int HexValue(const char* text, int count) {
  // Unsigned so that a long text wraps instead of overflowing.
  unsigned value = 0;
  for (int i = 0; i < count; ++i) {
    int ch = static_cast<unsigned char>(text[i]);
    unsigned digit;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<unsigned>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      digit = static_cast<unsigned>(ch - 'A' + 10);
    } else if (ch >= 'a' && ch <= 'f') {
      digit = static_cast<unsigned>(ch - 'a' + 10);
    } else {
      return 0;
    }
    value = value * 16u + digit;
  }
  return static_cast<int>(value);
}

int IsOlderVersion(std::uint32_t printerMajor, std::uint32_t printerMinor, std::uint32_t imageMajor,
                   std::uint32_t imageMinor) {
  if (printerMajor < imageMajor) return 1;
  if (printerMajor == imageMajor && printerMinor < imageMinor) return 1;
  return 0;
}

}  // namespace vn
