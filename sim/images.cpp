#include "images.h"

#include <algorithm>
#include <cstddef>

namespace vn::sim {

namespace {

constexpr std::size_t kUsbStamp = 49114;
constexpr std::size_t kMainStamp = 26;
constexpr std::size_t kDspStamp = 61344;
constexpr std::size_t kTableStamp = 26;
constexpr std::size_t kUsbTail = 64;

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool DecodeAsciiPair(const std::vector<unsigned char>& image, std::size_t at,
                     std::uint32_t& value) {
  int high = HexDigit(image[at]);
  int low = HexDigit(image[at + 1]);
  if (high < 0 || low < 0) return false;
  value = static_cast<std::uint32_t>(high * 16 + low);
  return true;
}

// A hexadecimal number of 1 to `maxDigits` digits, at most `limit`.
bool ParseHex(std::string_view text, std::size_t maxDigits, std::uint32_t limit,
              std::uint32_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    int d = HexDigit(static_cast<unsigned char>(c));
    if (d < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value <= limit;
}

}  // namespace

std::vector<unsigned char> UsbWireToFileOrder(const std::vector<unsigned char>& wire) {
  if (wire.size() < kUsbTail) return wire;
  std::vector<unsigned char> file(wire.begin() + kUsbTail, wire.end());
  file.insert(file.end(), wire.begin(), wire.begin() + kUsbTail);
  return file;
}

bool DecodeStamp(int target, const std::vector<unsigned char>& image, std::uint32_t& major,
                 std::uint32_t& minor) {
  switch (target) {
    case 6:
      if (image.size() < kUsbStamp + 2) return false;
      major = image[kUsbStamp];
      minor = image[kUsbStamp + 1];
      return true;
    case 1:
    case 0: {
      std::size_t at = target == 1 ? kMainStamp : kDspStamp;
      if (image.size() < at + 4) return false;
      std::uint32_t ma = 0, mi = 0;
      if (!DecodeAsciiPair(image, at, ma) || !DecodeAsciiPair(image, at + 2, mi)) return false;
      major = ma;
      minor = mi;
      return true;
    }
    case 2:
      if (image.size() < kTableStamp + 4) return false;
      // Raw bytes, low part first, combined without masking.
      major = image[kTableStamp + 1] * 16u + image[kTableStamp];
      minor = image[kTableStamp + 3] * 16u + image[kTableStamp + 2];
      return true;
    default:
      return false;
  }
}

bool ParseImageKind(std::string_view text, ImageKind& kind) {
  if (text == "usb")
    kind = ImageKind::Usb;
  else if (text == "main")
    kind = ImageKind::Main;
  else if (text == "dsp")
    kind = ImageKind::Dsp;
  else if (text == "table")
    kind = ImageKind::Table;
  else
    return false;
  return true;
}

int TargetOf(ImageKind kind) {
  switch (kind) {
    case ImageKind::Usb:
      return 6;
    case ImageKind::Main:
      return 1;
    case ImageKind::Dsp:
      return 0;
    case ImageKind::Table:
      return 2;
  }
  return -1;
}

bool MakeImage(ImageKind kind, std::string_view version, std::uint64_t size,
               std::vector<unsigned char>& image, std::string& error) {
  std::size_t dot = version.find('.');
  std::string_view majorText = dot == std::string_view::npos ? version : version.substr(0, dot);
  std::string_view minorText = dot == std::string_view::npos ? "" : version.substr(dot + 1);

  std::size_t stampAt = 0;
  std::size_t stampEnd = 0;
  unsigned char stamp[4] = {};
  switch (kind) {
    case ImageKind::Usb: {
      std::uint32_t ma = 0, mi = 0;
      if (!ParseHex(majorText, 2, 0xFF, ma) || !ParseHex(minorText, 2, 0xFF, mi)) {
        error = "a usb version is MM.mm, two hexadecimal numbers 0 to FF";
        return false;
      }
      stamp[0] = static_cast<unsigned char>(ma);
      stamp[1] = static_cast<unsigned char>(mi);
      stampAt = kUsbStamp;
      stampEnd = kUsbStamp + 2;
      break;
    }
    case ImageKind::Main:
    case ImageKind::Dsp:
      // Written as given, so that a test can also have a stamp the tool must refuse.
      if (version.size() != 5 || dot != 2) {
        error = "a main or dsp version is 5 characters with '.' in the middle, e.g. 01.23";
        return false;
      }
      stamp[0] = static_cast<unsigned char>(version[0]);
      stamp[1] = static_cast<unsigned char>(version[1]);
      stamp[2] = static_cast<unsigned char>(version[3]);
      stamp[3] = static_cast<unsigned char>(version[4]);
      stampAt = kind == ImageKind::Main ? kMainStamp : kDspStamp;
      stampEnd = stampAt + 4;
      break;
    case ImageKind::Table: {
      std::uint32_t ma = 0, mi = 0;
      if (!ParseHex(majorText, 4, 0x10EF, ma) || !ParseHex(minorText, 4, 0x10EF, mi)) {
        error = "a table version is two hexadecimal numbers 0 to 10EF, e.g. 00.12";
        return false;
      }
      auto split = [](std::uint32_t v, unsigned char& low, unsigned char& high) {
        std::uint32_t h = std::min<std::uint32_t>(v / 16, 255);
        high = static_cast<unsigned char>(h);
        low = static_cast<unsigned char>(v - h * 16);
      };
      split(ma, stamp[0], stamp[1]);
      split(mi, stamp[2], stamp[3]);
      stampAt = kTableStamp;
      stampEnd = kTableStamp + 4;
      break;
    }
  }
  if (size < stampEnd) {
    error = "the size must be at least " + std::to_string(stampEnd) + " bytes to hold the stamp";
    return false;
  }
  if (size > kMaxImageSize) {
    error = "the size must be at most " + std::to_string(kMaxImageSize) + " bytes";
    return false;
  }

  image.assign(static_cast<std::size_t>(size), 0);
  // A small xorshift generator seeded by kind and size: the same arguments give the same file.
  std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (size * 0x100000001B3ull) ^
                        ((static_cast<std::uint64_t>(TargetOf(kind)) + 1) << 56);
  for (unsigned char& byte : image) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<unsigned char>(state >> 32);
  }
  std::copy(stamp, stamp + (stampEnd - stampAt),
            image.begin() + static_cast<std::ptrdiff_t>(stampAt));
  return true;
}

}  // namespace vn::sim
