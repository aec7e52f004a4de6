#include "link/printer_link.h"

#include "driver/messages.h"

namespace vn {

OpenOutcome OpenPrinter(const Host& host, const unsigned char* serial, ErrorLineForm form,
                        LinkError& err) {
  auto fail = [&](OpenOutcome outcome) {
    if (form == ErrorLineForm::kLinkLine) {
      PrintLinkErrorLine(host, err);
    } else {
      PrintPlainErrorLine(host, err);
    }
    host.link.LinkClose();
    return outcome;
  };
  if (host.link.LinkOpen(kLinkPort, &err) == 0) return fail(OpenOutcome::kOpenFailed);
  // Only the code tells whether the printer was selected; the result means nothing.
  host.link.LinkSelectPrinter(serial, &err);
  if (err != 0) return fail(OpenOutcome::kSelectFailed);
  return OpenOutcome::kSelected;
}

}  // namespace vn
