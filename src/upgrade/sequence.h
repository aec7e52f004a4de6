// The heart of the tool: list the printers and upgrade each in turn.
#pragma once

#include <cstdint>

#include "driver/settings.h"
#include "host.h"

namespace vn {

// Runs the whole upgrade over every printer on the bus. Returns true when the run met no
// failure at all (the driver's exit status is 0 then, 1 otherwise).
bool RunPrinterUpgrades(const Host& host, const UpgradeSettings& settings);

// The countdown while a printer rewrites its flash after a download of `waitMs` milliseconds.
void WaitForRewrite(const Host& host, std::uint32_t waitMs);

}  // namespace vn
