// Arbitrary settings file content against assorted queries of the profile reader and against the
// settings reader: whatever the file holds, nothing crashes, every text comes back terminated
// inside its buffer with its length as the result, and every path of the record fits its slot.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace {

const char kFile[] = "fuzz.ini";

// Names the tool asks for, in several spellings, and some that no file should hold.
const char* const kNames[] = {"USB",          "usb",      " Main_OldPcb ", "MAIN_NEWPCB",
                              "DSP",          "TABLE",    "TIME",          "Force_FW_Download",
                              "FILEPATH",     "filepath", "USB_WAIT_TIME", "ForceDownlload",
                              "DENSITY_LAMI", "",         "[USB]",         "="};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vn::fuzz::EnterScratchFolder("vn818-fuzz-ini");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  struct Query {
    std::string section, key, fallback;
    bool nullSection, nullKey;
    std::uint32_t size;
  };
  std::vector<Query> queries(in.ConsumeIntegralInRange<int>(1, 4));
  auto name = [&in]() {
    return in.ConsumeBool() ? std::string(in.PickValueInArray(kNames))
                            : in.ConsumeRandomLengthString(24);
  };
  for (Query& q : queries) {
    q.section = name();
    q.key = name();
    q.fallback = in.ConsumeRandomLengthString(300);
    q.nullSection = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    q.nullKey = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    q.size = in.ConsumeIntegralInRange<std::uint32_t>(1, 300);
  }
  vn::fuzz::WriteFile(kFile, in.ConsumeRemainingBytesAsString());

  for (const Query& q : queries) {
    // Exactly `size` bytes, so that AddressSanitizer sees a write past the end.
    std::unique_ptr<char[]> buffer(new char[q.size]);
    std::memset(buffer.get(), 'X', q.size);
    std::uint32_t n = vn::platform::GetProfileString(
        q.nullSection ? nullptr : q.section.c_str(), q.nullKey ? nullptr : q.key.c_str(),
        q.fallback.c_str(), buffer.get(), q.size, kFile);
    FUZZ_CHECK(n < q.size);
    FUZZ_CHECK(std::strlen(buffer.get()) == n);
    vn::platform::GetProfileInt(q.section.c_str(), q.key.c_str(), 7, kFile);
  }

  vn::UpgradeSettings settings{};
  FUZZ_CHECK(vn::ReadUpgradeSettings(settings, kFile));
  for (const vn::ImageSlot* slot : {&settings.usb, &settings.mainOldPcb, &settings.mainNewPcb,
                                    &settings.dsp, &settings.table}) {
    FUZZ_CHECK(strnlen(slot->path, vn::kPathSize) < static_cast<std::size_t>(vn::kPathSize));
    FUZZ_CHECK(slot->size == 0);
  }
  return 0;
}
