#include "driver/settings.h"

#include <cstring>

#include "platform/platform.h"

namespace vn {

bool IsNoFile(const char* path) {
  return std::strcmp(path, kNoFile) == 0;
}

bool ReadUpgradeSettings(UpgradeSettings& settings, const char* name) {
  // The name always goes behind the current directory, a full path too. A composed path that
  // does not fit is refused rather than cut: the cut one could name another file.
  char path[kPathSize];
  if (!platform::GetCurrentDirectory(path, kPathSize)) return false;
  std::size_t directory = std::strlen(path);
  std::size_t length = std::strlen(name);
  if (directory + 1 + length > static_cast<std::size_t>(kPathSize - 1)) return false;
  path[directory] = platform::kPathSeparator;
  std::memcpy(path + directory + 1, name, length + 1);

  struct PathKey {
    const char* section;
    ImageSlot& slot;
  } paths[] = {
      {"USB", settings.usb},
      {"MAIN_OLDPCB", settings.mainOldPcb},
      {"MAIN_NEWPCB", settings.mainNewPcb},
      {"DSP", settings.dsp},
      {"TABLE", settings.table},
  };
  for (const PathKey& key : paths) {
    platform::GetProfileString(key.section, "FILEPATH", kNoFile, key.slot.path, kPathSize, path);
  }

  struct NumberKey {
    const char* section;
    const char* key;
    int defaultValue;
    std::uint32_t& field;
  } numbers[] = {
      {"TIME", "USB_WAIT_TIME", 30000, settings.usbWaitTime},
      {"TIME", "MAIN_WAIT_TIME", 60000, settings.mainWaitTime},
      {"TIME", "DSP_WAIT_TIME", 30000, settings.dspWaitTime},
      {"TIME", "TABLE_WAIT_TIME", 10000, settings.tableWaitTime},
      {"TIME", "DISP_WAIT_TIME", 1000, settings.dispWaitTime},
      {"RETRY", "COUNT", 1, settings.retryCount},
      {"PARAM", "DENSITY_LAMI", 70, settings.densityLami},
      {"Force_FW_Download", "ForceDownlload", 0, settings.forceDownload},
  };
  for (const NumberKey& key : numbers) {
    key.field = platform::GetProfileInt(key.section, key.key, key.defaultValue, path);
  }
  return true;
}

}  // namespace vn
