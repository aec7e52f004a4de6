#include "link/link_api.h"

namespace vn {

LinkApi BindLinkApi(const LinkEntryPoints& entry) {
  LinkApi api;
  api.LinkOpen = [f = entry.LinkOpen](int port, LinkError* err) { return f(port, err); };
  api.LinkClose = [f = entry.LinkClose]() { return f(); };
  api.LinkEnumPrinters = [f = entry.LinkEnumPrinters](unsigned char* list) { return f(list); };
  api.LinkSelectPrinter = [f = entry.LinkSelectPrinter](const unsigned char* serial,
                                                        LinkError* err) { return f(serial, err); };
  api.LinkGetInfo = [f = entry.LinkGetInfo](int tag, unsigned char* buffer, std::uint32_t* length) {
    return f(tag, buffer, length);
  };
  api.LinkSetInfo = [f = entry.LinkSetInfo](int tag, unsigned char* buffer, std::uint32_t* length,
                                            LinkError* err) { return f(tag, buffer, length, err); };
  api.LinkGetStatus = [f = entry.LinkGetStatus](PrinterStatus* status) { return f(status); };
  api.LinkBeginDownload = [f = entry.LinkBeginDownload](int target, std::uint32_t address,
                                                        std::uint32_t size, LinkError* err) {
    return f(target, address, size, err);
  };
  api.LinkSendBlock = [f = entry.LinkSendBlock](unsigned char* buffer, std::uint32_t* count,
                                                LinkError* err) { return f(buffer, count, err); };
  api.LinkEndDownload = [f = entry.LinkEndDownload](LinkError* err) { return f(err); };
  return api;
}

}  // namespace vn
