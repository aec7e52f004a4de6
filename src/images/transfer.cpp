#include "images/transfer.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "driver/messages.h"
#include "images/image_file.h"
#include "link/link_api.h"
#include "platform/platform.h"

namespace vn {
namespace {

constexpr std::uint32_t kUsbAddress = 0x4000;
constexpr std::uint32_t kUsbRequest = 4096;
constexpr std::uint32_t kUsbTailSize = 64;  // the USB image goes out with its last 64 bytes first
// A library that keeps saying yes while taking nothing would hold the loop for ever.
constexpr int kMaxIdleSends = 1000;

struct BufferFreer {
  void operator()(unsigned char* buffer) const { FreeImageBuffer(buffer); }
};
using ImageBuffer = std::unique_ptr<unsigned char, BufferFreer>;

ImageBuffer TakeBuffer(std::uint32_t bytes) {
  return ImageBuffer(static_cast<unsigned char*>(AllocImageBuffer(bytes)));
}

// "Error", the wide colon, then the fixed text of a failure that has no link error code.
void PrintFailure(const Host& host, const char* text) {
  Print(host, "Error%s%s", kWideColon, text);
}

// What one download hands the library.
struct Download {
  int target;
  std::uint32_t address;
  std::uint32_t size;
  std::uint32_t request;  // bytes asked of each LinkSendBlock call
  // A MAIN image reports a failed begin with its board in the error line.
  bool boardLine;
  bool oldPcb;
};

bool RunDownload(const Host& host, const unsigned char* serial, const Download& d,
                 unsigned char* image, LinkError* err) {
  if (host.link.LinkOpen(kLinkPort, err) == 0) {
    PrintLinkErrorLine(host, *err);
    return false;
  }
  *err = 0;  // selection reports through err alone: never test a value it did not write
  host.link.LinkSelectPrinter(serial, err);
  if (*err != 0) {
    PrintLinkErrorLine(host, *err);
    return false;
  }
  if (host.link.LinkBeginDownload(d.target, d.address, d.size, err) == 0) {
    if (d.boardLine) {
      PrintBoardErrorLine(host, d.oldPcb, *err);
    } else {
      PrintLinkErrorLine(host, *err);
    }
    return false;
  }
  // Every call gets the start of the image: the library keeps its own place in it. The total
  // saturates so that huge counts cannot wrap it back below the size.
  std::uint32_t sent = 0;
  int idleSends = 0;
  while (sent < d.size) {
    std::uint32_t count = d.request;
    if (host.link.LinkSendBlock(image, &count, err) == 0) {
      PrintLinkErrorLine(host, *err);
      return false;
    }
    sent = count > std::numeric_limits<std::uint32_t>::max() - sent
               ? std::numeric_limits<std::uint32_t>::max()
               : sent + count;
    Print(host, "Sent %12lu byte(s) \r", static_cast<unsigned long>(sent));
    idleSends = count == 0 ? idleSends + 1 : 0;
    if (idleSends == kMaxIdleSends) {
      PrintFailure(host, " The printer stopped taking data.\n");
      return false;
    }
  }
  return true;
}

// Opens the link, selects the printer, begins the download and hands the image over. The
// download is ended and the link closed on every path, also when the open failed.
bool Transfer(const Host& host, const unsigned char* serial, const Download& d,
              unsigned char* image) {
  LinkError err = 0;
  bool ok = RunDownload(host, serial, d, image, &err);
  host.link.LinkEndDownload(&err);
  host.link.LinkClose();
  return ok;
}

// The texts of one kind of image that goes out in file order in one request.
struct WholeImageKind {
  const ImageSlot& slot;
  int target;
  const char* notFound;
  const char* memoryFull;
  const char* unreadable;
  bool boardLine;
  bool oldPcb;
};

int SendWholeImage(const Host& host, const unsigned char* serial, const WholeImageKind& kind) {
  const std::uint32_t size = kind.slot.size;
  ImageFile file = OpenImageFile(kind.slot.path);
  if (!file) {
    PrintFailure(host, kind.notFound);
    return 0;
  }
  ImageBuffer buffer = TakeBuffer(size);
  if (!buffer) {
    PrintFailure(host, kind.memoryFull);
    return 0;
  }
  // The whole image is read before the printer is touched: a file that shrank since it was
  // measured would otherwise go out with a zero tail under the measured size.
  if (std::fread(buffer.get(), 1, size, file.get()) != size) {
    PrintFailure(host, kind.unreadable);
    return 0;
  }
  Download d{kind.target, 0, size, size, kind.boardLine, kind.oldPcb};
  // The file stays open until the download has ended: buffer first, then the file go back.
  return Transfer(host, serial, d, buffer.get()) ? 1 : 0;
}

}  // namespace

void* AllocImageBuffer(std::uint32_t bytes) {
  return platform::AllocImageBlock(bytes);
}

void FreeImageBuffer(void* buffer) {
  if (buffer != nullptr) platform::FreeImageBlock(buffer);
}

int SendUsbImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial) {
  const std::uint32_t size = settings.usb.size;
  ImageFile file = OpenImageFile(settings.usb.path);
  if (!file) {
    PrintFailure(host, " USB DownLoad file is not found.\n");
    return 0;
  }
  ImageBuffer fileOrder = TakeBuffer(size);
  if (!fileOrder) {
    PrintFailure(host, " USB Memory Full Error 1.\n");
    return 0;
  }
  // Checked once the read buffer is had, so that a size of 0 still reports memory full.
  if (size < kUsbTailSize) {
    PrintFailure(host, " USB DownLoad file is too short.\n");
    return 0;
  }
  ImageBuffer wireOrder = TakeBuffer(size);
  if (!wireOrder) {
    PrintFailure(host, " USB Memory Full Error 2.\n");
    return 0;
  }
  bool complete = std::fread(fileOrder.get(), 1, size, file.get()) == size;
  file.reset();
  if (!complete) {
    PrintFailure(host, " USB DownLoad file could not be read.\n");
    return 0;
  }

  std::memcpy(wireOrder.get(), fileOrder.get() + (size - kUsbTailSize), kUsbTailSize);
  std::memcpy(wireOrder.get() + kUsbTailSize, fileOrder.get(), size - kUsbTailSize);

  Download d{kTargetUsb, kUsbAddress, size, kUsbRequest, false, false};
  // Declared after the read buffer, the send buffer is given back first.
  return Transfer(host, serial, d, wireOrder.get()) ? 1 : 0;
}

int SendMainImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
                  unsigned char oldPcb) {
  if (oldPcb != 0) {
    return SendWholeImage(
        host, serial,
        {settings.mainOldPcb, kTargetMain, " MAIN DownLoad file (Old PCB) is not found.\n",
         " MAIN Memory Full Error (Old PCB)\n",
         " MAIN DownLoad file (Old PCB) could not be read.\n", true, true});
  }
  return SendWholeImage(
      host, serial,
      {settings.mainNewPcb, kTargetMain, " MAIN DownLoad file (New PCB) is not found.\n",
       " MAIN Memory Full Error (New PCB)\n", " MAIN DownLoad file (New PCB) could not be read.\n",
       true, false});
}

int SendDspImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial) {
  return SendWholeImage(
      host, serial,
      {settings.dsp, kTargetDsp, " DSP DownLoad file is not found.\n", " DSP Memory Full Error\n",
       " DSP DownLoad file could not be read.\n", false, false});
}

int SendTableImage(const Host& host, const UpgradeSettings& settings, const unsigned char* serial) {
  return SendWholeImage(
      host, serial,
      {settings.table, kTargetTable, " TABLE DownLoad file is not found.\n",
       " TABLE Memory Full Error\n", " TABLE DownLoad file could not be read.\n", false, false});
}

}  // namespace vn
