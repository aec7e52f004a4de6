// The wait, after an upgrade, for the printer to report a status of the ready class.
#pragma once

#include <cstdint>

#include "host.h"

namespace vn {

enum StatusClass : int { kFault = -1, kPending = 0, kReady = 1 };

constexpr std::uint32_t kReadyWaitLimitMs = 120000;

// Reads the status of the printer selected on the open link, classifies it, pauses 300 ms.
StatusClass ClassifyPrinterStatus(const Host& host);

// Polls the printer `serial` for up to 120 s. 1 when a reading was Ready; 0 when the limit
// passed or the printer could not be opened or selected.
std::uint16_t WaitPrinterReady(const Host& host, const unsigned char* serial);

}  // namespace vn
