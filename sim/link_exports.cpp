// The simulator as a link library: the ten operations under the maker's names (and, on
// Windows, the maker's export numbers, given by the .def files).
#include "sim.h"

#if defined(_WIN32)
#define VN818SIM_EXPORT
#else
#define VN818SIM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VN818SIM_EXPORT int VN_LINKCALL LinkOpen(int port, unsigned short* err) {
  return vn::sim::LinkOpen(port, err);
}
VN818SIM_EXPORT int VN_LINKCALL LinkClose(void) {
  return vn::sim::LinkClose();
}
VN818SIM_EXPORT int VN_LINKCALL LinkEnumPrinters(unsigned char* list) {
  return vn::sim::LinkEnumPrinters(list);
}
VN818SIM_EXPORT int VN_LINKCALL LinkSelectPrinter(const unsigned char* serial,
                                                  unsigned short* err) {
  return vn::sim::LinkSelectPrinter(serial, err);
}
VN818SIM_EXPORT int VN_LINKCALL LinkGetInfo(int tag, unsigned char* buffer, unsigned int* length) {
  return vn::sim::LinkGetInfo(tag, buffer, length);
}
VN818SIM_EXPORT int VN_LINKCALL LinkSetInfo(int tag, unsigned char* buffer, unsigned int* length,
                                            unsigned short* err) {
  return vn::sim::LinkSetInfo(tag, buffer, length, err);
}
VN818SIM_EXPORT int VN_LINKCALL LinkGetStatus(unsigned short* status) {
  return vn::sim::LinkGetStatus(status);
}
VN818SIM_EXPORT int VN_LINKCALL LinkBeginDownload(int target, unsigned int address,
                                                  unsigned int size, unsigned short* err) {
  return vn::sim::LinkBeginDownload(target, address, size, err);
}
VN818SIM_EXPORT int VN_LINKCALL LinkSendBlock(unsigned char* buffer, unsigned int* count,
                                              unsigned short* err) {
  return vn::sim::LinkSendBlock(buffer, count, err);
}
VN818SIM_EXPORT int VN_LINKCALL LinkEndDownload(unsigned short* err) {
  return vn::sim::LinkEndDownload(err);
}

}  // extern "C"
