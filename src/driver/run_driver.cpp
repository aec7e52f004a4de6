#include "driver/run_driver.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "driver/settings.h"
#include "images/image_file.h"
#include "platform/platform.h"
#include "upgrade/sequence.h"

namespace vn {

namespace {

constexpr const char* kNameTooLong = "The settings file name is too long.\n";

// The slots in the order they are measured and listed, which is not their order in the record.
struct SlotLine {
  ImageSlot UpgradeSettings::*slot;
  const char* sizeError;
  const char* listLine;
};
constexpr SlotLine kSlotLines[] = {
    {&UpgradeSettings::usb, "USB program file size error.\n", "USB             :  %s \n"},
    {&UpgradeSettings::mainOldPcb, "MAIN program (OLD PCB) file size error.\n",
     "MAIN(Old PCB)   :  %s \n"},
    {&UpgradeSettings::mainNewPcb, "MAIN program (NEW PCB) file size error.\n",
     "MAIN(New PCB)   :  %s \n"},
    {&UpgradeSettings::dsp, "DSP program file size error.\n", "DSP             :  %s \n"},
    {&UpgradeSettings::table, "TABLE program file size error.\n", "TABLE           :  %s \n"},
};

}  // namespace

bool GetDirectoryPart(char* dest, const char* path) {
  dest[0] = '\0';
  if (path == nullptr) return true;
  const char* backslash = std::strrchr(path, '\\');
  if (backslash == nullptr) return true;
  std::size_t length = static_cast<std::size_t>(backslash - path) + 1;
  if (length > static_cast<std::size_t>(kPathSize - 1)) return false;
  std::memcpy(dest, path, length);
  dest[length] = '\0';
  return true;
}

std::int32_t GetImageFileSize(const Host& host, const char* path) {
  ImageFile file = OpenImageFile(path);
  if (!file) {
    Print(host, "File Data Open Error \n ");
    return -2;
  }
  // A length of 2 GiB or more does not fit the size field; it is a failed measurement, not a
  // smaller size.
  std::int64_t length = platform::FileLength(file.get());
  if (length < 0 || length > INT32_MAX) return -1;
  return static_cast<std::int32_t>(length);
}

int RunDriver(Host& host, int argc, char** argv) {
  // The one settings record of the run, zero-filled; every later step reads it.
  UpgradeSettings settings{};

  char name[kPathSize] = "";
  bool nameFits = true;
  if (!host.isNtPlatform()) {
    nameFits = GetDirectoryPart(name, argc > 0 ? argv[0] : nullptr);
    Print(host, "PATH = %s\n", name);
  }
  if (argc < 2) return 0;

  std::size_t prefix = std::strlen(name);
  std::size_t argument = std::strlen(argv[1]);
  if (!nameFits || prefix + argument > static_cast<std::size_t>(kPathSize - 1)) {
    Print(host, "%s", kNameTooLong);
    return 1;
  }
  std::memcpy(name + prefix, argv[1], argument + 1);
  if (!ReadUpgradeSettings(settings, name)) {
    Print(host, "%s", kNameTooLong);
    return 1;
  }

  host.clearConsole();
  Print(host, "VARNO 818 Photo Printer Firmware Package Upgrade\n");
  Print(host, "Copyright (C) VARNO. All rights reserved.\n\n");

  for (const SlotLine& line : kSlotLines) {
    ImageSlot& slot = settings.*line.slot;
    if (IsNoFile(slot.path)) continue;
    std::int32_t size = GetImageFileSize(host, slot.path);
    if (size < 0) {
      Print(host, "%s", line.sizeError);
      return 1;
    }
    slot.size = static_cast<std::uint32_t>(size);
  }

  Print(host, "Lists the files used to upgrade the firmware.\n");
  for (const SlotLine& line : kSlotLines) Print(host, line.listLine, (settings.*line.slot).path);

  std::string reason;
  if (!host.loadLinkLibrary(host.link, reason)) {
    Print(host, "%s\n", reason.c_str());
    return 1;
  }
  return RunPrinterUpgrades(host, settings) ? 0 : 1;
}

}  // namespace vn
