// After an upgrade: raise the printer's lamination density to the target, never lower it.
#pragma once

#include "driver/settings.h"
#include "host.h"

namespace vn {

// Reads PINFTAG_DENSITY_LAMI of the printer `serial` and writes `densityLami` when the
// printer's value is lower. Returns false when any step failed (its line has been printed).
bool UpdateDensityLami(const Host& host, const UpgradeSettings& settings,
                       const unsigned char* serial);

}  // namespace vn
