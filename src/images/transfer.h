// Sending one firmware image to one printer through the link library's download operations.
#pragma once

#include <cstdint>

#include "driver/settings.h"
#include "host.h"

namespace vn {

// Each sender returns 1 when the printer took the whole image, 0 on any failure after printing
// why; it opens and closes its own link and gives back everything it took.
int SendUsbImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial);
int SendMainImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
                  unsigned char oldPcb);
int SendDspImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial);
int SendTableImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial);

// A zero-filled, locked block of `bytes` bytes, or null (always for 0 bytes).
void* AllocImageBuffer(std::uint32_t bytes);
void FreeImageBuffer(void* buffer);

}  // namespace vn
