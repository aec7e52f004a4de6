#include "upgrade/density.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "link/printer_link.h"

namespace vn {

bool UpdateDensityLami(const Host& host, const UpgradeSettings& settings,
                       const unsigned char* serial) {
  constexpr std::uint32_t kValueSize = 4;  // one 32-bit value in the machine's byte order
  LinkError err = 0;
  if (OpenPrinter(host, serial, ErrorLineForm::kPlainLine, err) != OpenOutcome::kSelected) {
    return false;
  }
  Print(host, "\n");
  Print(host, "Updating Density Lami\n");

  bool ok = true;
  std::array<unsigned char, kValueSize> value{};
  std::uint32_t size = kValueSize;
  if (host.link.LinkGetInfo(PINFTAG_DENSITY_LAMI, value.data(), &size) != 1) {
    Print(host, "Checking Density Lami Error. \n\n");
    ok = false;
  } else {
    std::uint32_t current = 0;
    std::memcpy(&current, value.data(), kValueSize);
    // Shown with a signed format, so values from 2^31 up print negative; compared unsigned.
    Print(host, "Current Density Lami = %d\n", static_cast<int>(current));
    if (current < settings.densityLami) {
      size = kValueSize;
      std::memcpy(value.data(), &settings.densityLami, kValueSize);
      if (host.link.LinkSetInfo(PINFTAG_DENSITY_LAMI, value.data(), &size, &err) == 1) {
        std::uint32_t written = 0;
        std::memcpy(&written, value.data(), kValueSize);
        Print(host, "Density Lami was updated to %d\n\n", static_cast<int>(written));
      } else {
        Print(host, "Density Lami could not updated (Error=%d)\n\n", static_cast<int>(err));
        ok = false;
      }
    } else {
      Print(host, "Density Lami does not need to be changed.\n\n");
    }
  }
  host.link.LinkClose();
  return ok;
}

}  // namespace vn
