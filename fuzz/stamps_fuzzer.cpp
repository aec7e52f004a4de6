// Arbitrary image files against the four stamp readers. The first byte of the input says where
// the rest lands: as the whole file, or behind zeros so that it covers one of the stamp offsets,
// which lets short inputs reach the stamps far into the USB and DSP images. Each reader must
// give one of its codes, outputs of 0 unless it read a stamp, values a byte can hold (TABLE
// excepted), and the same verdict as the simulator's own reading of the stamp.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "images.h"
#include "images/stamps.h"

namespace {

const char kFile[] = "fuzz.bin";

struct Reader {
  int (*read)(const char*, std::uint32_t*, std::uint32_t*);
  int target;  // for the simulator's decoding
  bool checksDigits;
  std::uint32_t maxValue;
};
constexpr Reader kReaders[] = {
    {vn::ReadUsbStamp, 6, false, 255},
    {vn::ReadMainStamp, 1, true, 255},
    {vn::ReadDspStamp, 0, true, 255},
    {vn::ReadTableStamp, 2, false, 0xFF * 16 + 0xFF},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vn::fuzz::EnterScratchFolder("vn818-fuzz-stamps");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> file;
  if (size >= 2 && data[0] % 4 != 0) {
    constexpr std::uint32_t kStampOffsets[] = {26, 49114, 61344};
    const std::uint32_t offset = kStampOffsets[data[0] % 4 - 1];
    const std::uint32_t before = data[1] % 8;  // the input starts up to 7 bytes early
    file.assign(offset > before ? offset - before : 0, 0);
    file.insert(file.end(), data + 2, data + size);
  } else {
    file.assign(data, data + size);
  }
  vn::fuzz::WriteFile(kFile, std::string(file.begin(), file.end()));

  for (const Reader& r : kReaders) {
    std::uint32_t major = 0xDEAD, minor = 0xBEEF;
    const int code = r.read(kFile, &major, &minor);
    FUZZ_CHECK(code >= 0 && code <= 5);
    FUZZ_CHECK(r.checksDigits || code == 0 || code == 5);
    if (code != 0) {
      FUZZ_CHECK(major == 0 && minor == 0);
    } else {
      FUZZ_CHECK(major <= r.maxValue && minor <= r.maxValue);
    }
    std::uint32_t simMajor = 0, simMinor = 0;
    const bool simRead = vn::sim::DecodeStamp(r.target, file, simMajor, simMinor);
    FUZZ_CHECK(simRead == (code == 0));
    if (simRead) FUZZ_CHECK(simMajor == major && simMinor == minor);
  }
  return 0;
}
