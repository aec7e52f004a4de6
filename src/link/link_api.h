// The ten operations of the printer maker's link library, as the tool calls them. The raw
// function types are the library's binary interface; LinkApi is the table the tool's logic
// calls through, bound once to the loaded library or, in tests, to a fake printer.
#pragma once

#include <cstdint>
#include <functional>

// Calling convention of the maker's library: __stdcall on 32-bit Windows, the platform's
// default everywhere else. Change it here and nowhere else.
#if defined(_WIN32) && !defined(_WIN64)
#define VN_LINKCALL __stdcall
#else
#define VN_LINKCALL
#endif

namespace vn {

using LinkError = std::uint16_t;      // written through a pointer; 0 is success
using PrinterStatus = std::uint16_t;  // written by LinkGetStatus

constexpr int kPrinterSerialSize = 8;  // a printer's serial: 8 bytes, no terminator
constexpr int kLinkPort = -1;          // what every LinkOpen is given

// Information tags.
constexpr int PINFTAG_ENGID = 3;
constexpr int PINFTAG_DENSITY_LAMI = 74;

// Download targets.
constexpr int kTargetDsp = 0;
constexpr int kTargetMain = 1;
constexpr int kTargetTable = 2;
constexpr int kTargetUsb = 6;

extern "C" {
using LinkOpenFn = int(VN_LINKCALL*)(int port, unsigned short* err);
using LinkCloseFn = int(VN_LINKCALL*)(void);
using LinkEnumPrintersFn = int(VN_LINKCALL*)(unsigned char* list);
using LinkSelectPrinterFn = int(VN_LINKCALL*)(const unsigned char* serial, unsigned short* err);
using LinkGetInfoFn = int(VN_LINKCALL*)(int tag, unsigned char* buffer, unsigned int* length);
using LinkSetInfoFn = int(VN_LINKCALL*)(int tag, unsigned char* buffer, unsigned int* length,
                                        unsigned short* err);
using LinkGetStatusFn = int(VN_LINKCALL*)(unsigned short* status);
using LinkBeginDownloadFn = int(VN_LINKCALL*)(int target, unsigned int address, unsigned int size,
                                              unsigned short* err);
using LinkSendBlockFn = int(VN_LINKCALL*)(unsigned char* buffer, unsigned int* count,
                                          unsigned short* err);
using LinkEndDownloadFn = int(VN_LINKCALL*)(unsigned short* err);
}

// The table of operations the tool's logic calls. Field names are the operations' own names.
struct LinkApi {
  std::function<int(int port, LinkError* err)> LinkOpen;
  std::function<int()> LinkClose;
  std::function<int(unsigned char* list)> LinkEnumPrinters;
  std::function<int(const unsigned char* serial, LinkError* err)> LinkSelectPrinter;
  std::function<int(int tag, unsigned char* buffer, std::uint32_t* length)> LinkGetInfo;
  std::function<int(int tag, unsigned char* buffer, std::uint32_t* length, LinkError* err)>
      LinkSetInfo;
  std::function<int(PrinterStatus* status)> LinkGetStatus;
  std::function<int(int target, std::uint32_t address, std::uint32_t size, LinkError* err)>
      LinkBeginDownload;
  std::function<int(unsigned char* buffer, std::uint32_t* count, LinkError* err)> LinkSendBlock;
  std::function<int(LinkError* err)> LinkEndDownload;
};

// The raw entry points of one loaded library (or of the simulator linked in-process).
struct LinkEntryPoints {
  LinkOpenFn LinkOpen = nullptr;
  LinkCloseFn LinkClose = nullptr;
  LinkEnumPrintersFn LinkEnumPrinters = nullptr;
  LinkSelectPrinterFn LinkSelectPrinter = nullptr;
  LinkGetInfoFn LinkGetInfo = nullptr;
  LinkSetInfoFn LinkSetInfo = nullptr;
  LinkGetStatusFn LinkGetStatus = nullptr;
  LinkBeginDownloadFn LinkBeginDownload = nullptr;
  LinkSendBlockFn LinkSendBlock = nullptr;
  LinkEndDownloadFn LinkEndDownload = nullptr;
};

// Wraps raw entry points (all ten must be set) into the table the logic calls.
LinkApi BindLinkApi(const LinkEntryPoints& entry);

}  // namespace vn
