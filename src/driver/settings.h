// The upgrade settings record and its reader: the image files, wait times, density target and
// the force switch, read once from the INI file named on the command line.
#pragma once

#include <cstdint>

namespace vn {

constexpr int kPathSize = 260;  // paths and message texts: 259 characters and a terminator
constexpr const char* kNoFile = "None";

struct ImageSlot {
  char path[kPathSize];
  std::uint32_t size;
};

struct UpgradeSettings {
  ImageSlot usb;
  ImageSlot mainOldPcb;
  ImageSlot dsp;
  ImageSlot table;
  ImageSlot mainNewPcb;
  std::uint32_t usbWaitTime;
  std::uint32_t mainWaitTime;
  std::uint32_t dspWaitTime;
  std::uint32_t tableWaitTime;
  std::uint32_t dispWaitTime;
  std::uint32_t retryCount;
  std::uint32_t densityLami;
  std::uint32_t forceDownload;
};

// True when `path` is exactly "None", the mark of a slot that is not configured.
bool IsNoFile(const char* path);

// Fills every path and number of `settings` (never a size) from the file `name`, taken behind
// the current directory and a separator. Returns false, reading nothing, when that composed
// path does not fit in 259 characters.
bool ReadUpgradeSettings(UpgradeSettings& settings, const char* name);

}  // namespace vn
