// The upgrade run: list the printers once, then for each in list order show it, read its
// installed versions, and bring USB, MAIN (of the printer's board), DSP and TABLE up to the
// images' versions. Any failure ends the whole run; every way out passes the final pause.
#include "upgrade/sequence.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "driver/messages.h"
#include "images/stamps.h"
#include "images/transfer.h"
#include "link/printer_info.h"
#include "link/printer_link.h"
#include "link/readiness.h"
#include "upgrade/density.h"

namespace vn {

namespace {

// The 16-bit count of LinkEnumPrinters can name up to 65535 printers; the list has room for
// every one of them, so no count the library reports makes us read or have it write past it.
constexpr std::size_t kMaxPrinters = 65535;

enum DownloadState : unsigned char { kNotDownloaded = 0, kNoFile = 1, kDownloaded = 2 };

// One component of the printer at hand: installed version, image stamp, the comparison and
// what became of it. All of it starts from zero for every printer.
struct ComponentState {
  std::uint32_t printerMajor = 0;
  std::uint32_t printerMinor = 0;
  std::uint32_t imageMajor = 0;
  std::uint32_t imageMinor = 0;
  int older = 0;
  DownloadState state = kNotDownloaded;
};

using StampReader = int (*)(const char* path, std::uint32_t* major, std::uint32_t* minor);
using Sender = int (*)(const Host& host, const UpgradeSettings& settings,
                       const unsigned char* serial, unsigned char oldPcb);

// The lines of one component are built from these names so that every format stays literal.
struct ComponentTexts {
  const char* noFileLine;
  const char* stampName;     // "Cannot get the verision from %s binary file. (%d)\n"
  const char* versionName;   // "Printer(%s) Version = ..." and "Binary(%s) Version = ..."
  const char* downloadName;  // "Downloading %s... [%s]\n"
  const char* skipName;      // "Skip %s... [%s]\n"
  int finishedBlanks;        // covers the last "Sent ... byte(s)" progress line
};

constexpr ComponentTexts kUsbTexts{"No usb downloadFile...\n", "USB", "Usb", "USB file",
                                   "USB downloading",          53};
constexpr ComponentTexts kMainNewTexts{"No main downloadFile (New PCB)...\n",
                                       "MAIN(New PCB)",
                                       "Main NEW",
                                       "MAIN file (New PCB)",
                                       "MAIN downloading (New PCB)",
                                       50};
constexpr ComponentTexts kMainOldTexts{"No main downloadFile (Old PCB)...\n",
                                       "MAIN(Old PCB)",
                                       "Main OLD",
                                       "MAIN file (Old PCB)",
                                       "MAIN downloading (Old PCB)",
                                       50};
constexpr ComponentTexts kDspTexts{"No dsp downloadFile...\n", "DSP", "Dsp", "DSP file",
                                   "DSP downloading",          49};
constexpr ComponentTexts kTableTexts{"No Table downloadFile...\n", "TABLE", "Table", "TABLE file",
                                     "Table downloading",          51};

int SendUsb(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
            unsigned char) {
  return SendUsbImage(host, settings, serial);
}
int SendMain(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
             unsigned char oldPcb) {
  return SendMainImage(host, settings, serial, oldPcb);
}
int SendDsp(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
            unsigned char) {
  return SendDspImage(host, settings, serial);
}
int SendTable(const Host& host, const UpgradeSettings& settings, const unsigned char* serial,
              unsigned char) {
  return SendTableImage(host, settings, serial);
}

const char kSeparator[] = "----------------------------------------\n";
const char kNewPcbBoard[] = "R7734100";
const char kOldPcbBoard[] = "R6518200";

enum class Outcome { kGoOn, kEndRun };

// Compares one component's image with the printer and sends it when it is newer or forced.
Outcome RunComponentStep(const Host& host, const UpgradeSettings& settings,
                         const unsigned char* serial, unsigned char oldPcb,
                         const ComponentTexts& texts, const ImageSlot& slot, StampReader readStamp,
                         Sender send, ComponentState& component) {
  if (IsNoFile(slot.path)) {
    Print(host, "%s", texts.noFileLine);
    component.state = kNoFile;
    return Outcome::kGoOn;
  }
  int stamp = readStamp(slot.path, &component.imageMajor, &component.imageMinor);
  if (stamp != 0) {
    Print(host, "Cannot get the verision from %s binary file. (%d)\n", texts.stampName, stamp);
    host.link.LinkClose();
    return Outcome::kEndRun;
  }
  component.older = IsOlderVersion(component.printerMajor, component.printerMinor,
                                   component.imageMajor, component.imageMinor);
  Print(host, "%s", kSeparator);
  Print(host, "Printer(%s) Version = %02X.%02X \n", texts.versionName,
        static_cast<unsigned>(component.printerMajor),
        static_cast<unsigned>(component.printerMinor));
  Print(host, "Binary(%s) Version = %02X.%02X \n", texts.versionName,
        static_cast<unsigned>(component.imageMajor), static_cast<unsigned>(component.imageMinor));
  Print(host, "%s", kSeparator);
  if (component.older == 1 || settings.forceDownload == 1) {
    Print(host, "Downloading %s... [%s]\n", texts.downloadName, slot.path);
    // A failed sender has printed why and closed its link: nothing more to say or close.
    if (send(host, settings, serial, oldPcb) == 0) return Outcome::kEndRun;
    Print(host, "Finished.%*s\n", texts.finishedBlanks, "");
    component.state = kDownloaded;
  } else {
    Print(host, "Skip %s... [%s]\n", texts.skipName, slot.path);
  }
  return Outcome::kGoOn;
}

// Opens the link and selects the printer; on failure prints the link error line and closes.
bool OpenAndSelect(const Host& host, const unsigned char* serial, LinkError& err) {
  return OpenPrinter(host, serial, ErrorLineForm::kLinkLine, err) == OpenOutcome::kSelected;
}

// The printer sequence for one list entry. `ok` turns false on a failure that does not end the
// run (readiness, density, report).
Outcome RunPrinter(const Host& host, const UpgradeSettings& settings, const unsigned char* entry,
                   unsigned number, LinkError& err, char (&serialText)[9], bool& ok) {
  if (!OpenAndSelect(host, entry, err)) return Outcome::kEndRun;
  std::memcpy(serialText, entry, kPrinterSerialSize);
  Print(host, "\nNo%u.  Printer S/N = [%s] \n\n", number, serialText);
  host.link.LinkClose();

  // Nothing of the printer before may carry over: a component skipped here must not keep the
  // Downloaded of the last printer.
  ComponentState usb, main, dsp, table;

  int versions = ReadPrinterVersions(host, entry, &main.printerMajor, &main.printerMinor,
                                     &dsp.printerMajor, &dsp.printerMinor, &usb.printerMajor,
                                     &usb.printerMinor, &table.printerMajor, &table.printerMinor);
  if (versions != 0) {
    Print(host, "Cannot get the F/W verision from printer. (%d)\n", versions);
    host.link.LinkClose();
    return Outcome::kEndRun;
  }

  if (RunComponentStep(host, settings, entry, 0, kUsbTexts, settings.usb, ReadUsbStamp, SendUsb,
                       usb) == Outcome::kEndRun) {
    return Outcome::kEndRun;
  }
  if (usb.state == kDownloaded) WaitForRewrite(host, settings.usbWaitTime);

  // The board is told from the record as it stands after the USB download, and is told even
  // when no MAIN image is configured.
  if (!OpenAndSelect(host, entry, err)) return Outcome::kEndRun;
  std::array<unsigned char, kEngineRecordSize> record{};
  std::uint32_t length = kEngineRecordSize;
  if (host.link.LinkGetInfo(PINFTAG_ENGID, record.data(), &length) != 1) {
    host.link.LinkClose();
    Print(host, "\n");
    Print(host, "Error:Can't get the printer firmware information...\n");
    return Outcome::kEndRun;
  }
  unsigned char oldPcb;
  if (std::memcmp(&record[1], kNewPcbBoard, 8) == 0) {
    oldPcb = 0;
  } else if (std::memcmp(&record[1], kOldPcbBoard, 8) == 0) {
    oldPcb = 1;
  } else {
    host.link.LinkClose();
    Print(host, "\n");
    Print(host, "Error:Incorrect Program Type...\n");
    return Outcome::kEndRun;
  }
  host.link.LinkClose();

  const ComponentTexts& mainTexts = oldPcb ? kMainOldTexts : kMainNewTexts;
  const ImageSlot& mainSlot = oldPcb ? settings.mainOldPcb : settings.mainNewPcb;
  if (RunComponentStep(host, settings, entry, oldPcb, mainTexts, mainSlot, ReadMainStamp, SendMain,
                       main) == Outcome::kEndRun) {
    return Outcome::kEndRun;
  }
  if (main.state == kDownloaded) WaitForRewrite(host, settings.mainWaitTime);

  if (RunComponentStep(host, settings, entry, oldPcb, kDspTexts, settings.dsp, ReadDspStamp,
                       SendDsp, dsp) == Outcome::kEndRun) {
    return Outcome::kEndRun;
  }
  if (dsp.state == kDownloaded) WaitForRewrite(host, settings.dspWaitTime);

  if (RunComponentStep(host, settings, entry, oldPcb, kTableTexts, settings.table, ReadTableStamp,
                       SendTable, table) == Outcome::kEndRun) {
    return Outcome::kEndRun;
  }
  if (table.state == kDownloaded) WaitForRewrite(host, settings.tableWaitTime);

  if (usb.state == kDownloaded || main.state == kDownloaded || dsp.state == kDownloaded ||
      table.state == kDownloaded) {
    Print(host, "Completed firmware upgrade.\n");
    if (WaitPrinterReady(host, entry) == 1) {
      if (!UpdateDensityLami(host, settings, entry)) ok = false;
    } else {
      ok = false;
    }
    if (!PrintFirmwareReport(host, entry)) ok = false;
  }
  Print(host, "\n");
  return Outcome::kGoOn;
}

}  // namespace

bool RunPrinterUpgrades(const Host& host, const UpgradeSettings& settings) {
  bool ok = true;
  LinkError err = 0;
  char serialText[9] = {};
  std::vector<unsigned char> printerList(kMaxPrinters * kPrinterSerialSize, 0);

  if (host.link.LinkOpen(kLinkPort, &err) == 0) {
    PrintLinkErrorLine(host, err);
    host.link.LinkClose();
    ok = false;
  } else {
    auto printerCount = static_cast<std::uint16_t>(host.link.LinkEnumPrinters(printerList.data()));
    Print(host, "\nStart download.(Number of printers connected = %d)\n", printerCount);
    Print(host, "\nDetected %d printer(s)\n", printerCount);
    Print(host, "Start downloading...\n");
    host.link.LinkClose();

    for (std::uint16_t index = 0; index < printerCount; ++index) {
      const unsigned char* entry = &printerList[std::size_t{index} * kPrinterSerialSize];
      if (RunPrinter(host, settings, entry, index + 1u, err, serialText, ok) == Outcome::kEndRun) {
        ok = false;
        break;
      }
    }
  }

  host.sleep(settings.dispWaitTime);
  return ok;
}

void WaitForRewrite(const Host& host, std::uint32_t waitMs) {
  constexpr std::uint32_t kStepMs = 500;
  // A sleep ends a little late on a real clock (timer granularity, a busy machine). Counted
  // against the wait, one millisecond of it at the pass due at W - 1000 shows 0 instead of 1
  // and ends the countdown 500 ms early, with the printer still rewriting. So much lateness
  // of each sleep is not counted; a longer stall still is.
  constexpr std::uint32_t kForgivenLatenessMs = 50;
  std::uint32_t start = host.tickCount();
  std::uint32_t forgiven = 0;
  std::uint32_t previous = 0;
  for (bool first = true;; first = false) {
    std::uint32_t elapsed = host.tickCount() - start;
    if (!first && elapsed - previous > kStepMs) {
      forgiven += std::min(elapsed - previous - kStepMs, kForgivenLatenessMs);
    }
    previous = elapsed;
    std::uint32_t remaining = (waitMs - (elapsed - forgiven)) / 1000;
    // Past the wait the difference has wrapped round: such a value is never shown.
    if (elapsed > waitMs) break;
    Print(host, "Waiting for the printer to finish rewriting firmware.  Remaining %u sec.  \r",
          static_cast<unsigned>(remaining));
    host.sleep(kStepMs);
    if (remaining == 0) break;
  }
  Print(host, "\n\n");
}

}  // namespace vn
