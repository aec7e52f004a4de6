// Reaching one printer: open the link, then select the printer by its serial. Every operation
// that touches a printer starts this way and closes the link again before it returns.
#pragma once

#include "host.h"

namespace vn {

// The error line a failed open or select is reported with.
enum class ErrorLineForm { kLinkLine, kPlainLine };

enum class OpenOutcome { kSelected, kOpenFailed, kSelectFailed };

// LinkOpen, then LinkSelectPrinter with `serial`; `err` is the caller's LinkError variable.
// On failure prints the line of `form` for the code and closes the link again, so the caller
// has nothing left to close; on success the link is open and the printer selected.
OpenOutcome OpenPrinter(const Host& host, const unsigned char* serial, ErrorLineForm form,
                        LinkError& err);

}  // namespace vn
