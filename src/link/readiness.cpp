#include "link/readiness.h"

#include "link/printer_link.h"

namespace vn {

namespace {

constexpr std::uint32_t kPauseMs = 300;

// A library that leaves the status unwritten must not make the printer look ready, so every
// reading starts from "The printer is busy".
constexpr PrinterStatus kUnreadStatus = 2100;

// Status ranges whose every code means the same as the range's first one.
struct StatusRange {
  PrinterStatus first;
  PrinterStatus last;
};
constexpr StatusRange kFoldedRanges[] = {
    {2400, 2499}, {3000, 3099}, {4000, 4099}, {4100, 4199},
    {4200, 4299}, {4300, 4399}, {8000, 8299}, {8500, 8599},
};

constexpr PrinterStatus kReadyCodes[] = {0,    2305, 2306, 2309, 2400, 3000,
                                         4000, 4100, 4200, 4300, 8000, 8500};
constexpr PrinterStatus kFaultCodes[] = {2000, 2504, 2600};

StatusClass ClassOf(PrinterStatus status) {
  for (const StatusRange& range : kFoldedRanges) {
    if (status >= range.first && status <= range.last) status = range.first;
  }
  for (PrinterStatus code : kReadyCodes) {
    if (status == code) return kReady;
  }
  for (PrinterStatus code : kFaultCodes) {
    if (status == code) return kFault;
  }
  return kPending;
}

}  // namespace

StatusClass ClassifyPrinterStatus(const Host& host) {
  PrinterStatus status = kUnreadStatus;
  host.link.LinkGetStatus(&status);  // its result says nothing the status does not
  StatusClass result = ClassOf(status);
  host.sleep(kPauseMs);
  return result;
}

std::uint16_t WaitPrinterReady(const Host& host, const unsigned char* serial) {
  std::uint16_t result = 0;
  Print(host, "\n");
  LinkError err = 0;
  if (OpenPrinter(host, serial, ErrorLineForm::kPlainLine, err) != OpenOutcome::kSelected) {
    return 0;
  }
  const std::uint32_t start = host.tickCount();
  for (;;) {
    if (ClassifyPrinterStatus(host) == kReady) {
      result = 1;
      break;
    }
    // An unsigned difference stays right across a wrap of the tick counter.
    const std::uint32_t elapsed = host.tickCount() - start;
    if (elapsed > kReadyWaitLimitMs) break;
    const std::uint32_t remaining = (kReadyWaitLimitMs - elapsed) / 1000;
    Print(host, "Printer Status Waiting. Remaining %d sec.   \r", static_cast<int>(remaining));
    host.sleep(kPauseMs);
    if (remaining == 0) break;
  }
  Print(host, "\n");
  host.link.LinkClose();
  return result;
}

}  // namespace vn
