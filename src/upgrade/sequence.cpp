// Placeholder until the upgrade sequence lands: the final pause only.
#include "upgrade/sequence.h"

namespace vn {

bool RunPrinterUpgrades(const Host& host, const UpgradeSettings& settings) {
  host.sleep(settings.dispWaitTime);
  return true;
}

void WaitForRewrite(const Host&, std::uint32_t) {}

}  // namespace vn
