// Settings files and image files that are broken, odd or hostile, run through the whole tool:
// each gives the line the tool is meant to print and the exit status, never a crash, an overrun
// or a hang. Folders and files that change after they were measured are also tried on the stamp
// readers and the senders alone, since the run driver never hands them on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "images/stamps.h"
#include "images/transfer.h"
#include "temp_folder.h"
#include "test_host.h"

namespace vn {
namespace {

const std::string kBanner =
    "VARNO 818 Photo Printer Firmware Package Upgrade\n"
    "Copyright (C) VARNO. All rights reserved.\n\n";

std::string FileList(const std::string& usb, const std::string& mainNew, const std::string& dsp,
                     const std::string& table) {
  return "Lists the files used to upgrade the firmware.\nUSB             :  " + usb +
         " \nMAIN(Old PCB)   :  None \nMAIN(New PCB)   :  " + mainNew +
         " \nDSP             :  " + dsp + " \nTABLE           :  " + table + " \n";
}
const std::string kNoFiles = FileList("None", "None", "None", "None");

std::string Bytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t x = seed;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

// A USB image of `size` bytes with the stamp 01.00 when it is long enough to hold it.
std::string UsbImage(std::size_t size) {
  std::string bytes = Bytes(size, 1);
  if (size > 49115) {
    bytes[49114] = 1;
    bytes[49115] = 0;
  }
  return bytes;
}

struct Case {
  const char* what;
  std::function<void(test::TempFolder&)> prepare;  // writes upgrade.ini and the images
  std::string start;                               // what follows the banner
  std::string end;                                 // how the output ends
  int status;
  std::uint32_t finalPause;  // 0: there is no upgrade run
  bool sendsUsb = false;     // the USB image named is sent
};

void Ini(test::TempFolder& folder, const std::string& text) {
  folder.Write("upgrade.ini", text);
}

TEST(BadInput, WholeToolGivesOneClearOutcome) {
  // An image path of exactly 259 characters, the most the path buffer holds: absolute, since
  // on Windows the whole path must fit in that limit.
  test::TempFolder longHome;
  const std::string home = longHome.path().string() + "/";
  const std::string longDir = home + std::string(120, 'd');
  ASSERT_LT(longDir.size(), 259u - 20);
  const std::string longPath =
      longDir + "/" + std::string(259 - longDir.size() - 9, 'u') + "_usb.bin";
  ASSERT_EQ(longPath.size(), 259u);
  std::filesystem::create_directory(longDir);
  longHome.Write(longPath.substr(home.size()), UsbImage(49152));
  const std::string usbDone = "Finished." + std::string(53, ' ') + "\n";
  const std::string printerEnd = "No Table downloadFile...\n\n";
  const std::string reportEnd = "Version       = 00.01 \n\n";

  const Case cases[] = {
    {"binary settings file",
     [](test::TempFolder& f) { Ini(f, Bytes(65536, 7) + "\n[TIME]\nDISP_WAIT_TIME=5\n"); },
     kNoFiles, printerEnd, 0, 5},
    {"huge settings file",
     [](test::TempFolder& f) {
       std::string text = "[FILLER]\r\n";
       while (text.size() < (8u << 20)) text += "KEY=some value that is not wanted\r\n";
       Ini(f, text + "[USB]\r\nFILEPATH=usb.bin\r\n[TIME]\r\nDISP_WAIT_TIME=6\r\n");
       f.Write("usb.bin", UsbImage(49152));
     },
     FileList("usb.bin", "None", "None", "None"), reportEnd, 0, 6, true},
    {"empty settings file", [](test::TempFolder& f) { Ini(f, ""); }, kNoFiles, printerEnd, 0, 1000},
    {"settings file that is a folder",
     [](test::TempFolder& f) { std::filesystem::create_directory(f.PathOf("upgrade.ini")); },
     kNoFiles, printerEnd, 0, 1000},
#if defined(__linux__)
    // Opens, but every read fails (EIO), also for root, whom permission bits do not stop.
    {"settings file that cannot be read",
     [](test::TempFolder& f) {
       std::filesystem::create_symlink("/proc/self/mem", f.PathOf("upgrade.ini"));
     },
     kNoFiles, printerEnd, 0, 1000},
#endif
    {"image path of 259 characters",
     [&](test::TempFolder& f) { Ini(f, "[USB]\r\nFILEPATH=" + longPath + "\r\n"); },
     FileList(longPath, "None", "None", "None"), reportEnd, 0, 1000, true},
    {"image path over 259 characters is cut to 259",
     [&](test::TempFolder& f) {
       Ini(f, "[USB]\r\nFILEPATH=" + longPath + std::string(300, 'x') + "\r\n");
     },
     FileList(longPath, "None", "None", "None"), reportEnd, 0, 1000, true},
    {"empty image",
     [](test::TempFolder& f) {
       Ini(f, "[MAIN_NEWPCB]\r\nFILEPATH=main.bin\r\n");
       f.Write("main.bin", "");
     },
     FileList("None", "main.bin", "None", "None"),
     "Cannot get the verision from MAIN(New PCB) binary file. (5)\n", 1, 1000},
    {"DSP image that ends inside its stamp",
     [](test::TempFolder& f) {
       Ini(f, "[DSP]\r\nFILEPATH=dsp.bin\r\n");
       f.Write("dsp.bin", std::string(61344, '\0') + "01");
     },
     FileList("None", "None", "dsp.bin", "None"),
     "Cannot get the verision from DSP binary file. (5)\n", 1, 1000},
    {"USB image of 63 bytes",
     [](test::TempFolder& f) {
       Ini(f, "[USB]\r\nFILEPATH=usb.bin\r\n");
       f.Write("usb.bin", UsbImage(63));
     },
     FileList("usb.bin", "None", "None", "None"),
     "Cannot get the verision from USB binary file. (5)\n", 1, 1000},
    {"image of 2 GiB",
     [](test::TempFolder& f) {
       Ini(f, "[TABLE]\r\nFILEPATH=table.bin\r\n");
       f.Write("table.bin", "");
       std::filesystem::resize_file(f.PathOf("table.bin"), 0x80000000u);  // sparse
     },
     "TABLE program file size error.\n", "TABLE program file size error.\n", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder folder;
    folder.Enter();
    c.prepare(folder);
    test::TestHost t;
    test::FakePrinter printer;
    std::memcpy(printer.serial.data(), "SN000001", 8);
    printer.engine = test::MakeEngineRecord("R7734100", 0, 1, 0, 1, 0, 1, 0, 1);
    t.link.printers.push_back(printer);
    std::string program = "vn818fw", name = "upgrade.ini";
    char* argv[] = {program.data(), name.data(), nullptr};

    EXPECT_EQ(RunDriver(t.host, 2, argv), c.status);
    ASSERT_GE(t.out.size(), kBanner.size() + c.start.size());
    EXPECT_EQ(t.out.substr(0, kBanner.size() + c.start.size()), kBanner + c.start);
    ASSERT_GE(t.out.size(), c.end.size());
    EXPECT_EQ(t.out.substr(t.out.size() - c.end.size()), c.end);
    EXPECT_TRUE(t.link.violations.empty());
    if (c.finalPause == 0) {
      EXPECT_TRUE(t.link.calls.empty());
    } else {
      ASSERT_FALSE(t.clock.sleeps.empty());
      EXPECT_EQ(t.clock.sleeps.back(), c.finalPause);
    }
    if (c.sendsUsb) {
      EXPECT_NE(t.out.find(usbDone), std::string::npos);
    }
  }
}

#if defined(__linux__)
// The unreadable-settings case above means something only if such a file opens and fails.
TEST(BadInput, ProcMemOpensButCannotBeRead) {
  std::FILE* file = std::fopen("/proc/self/mem", "rb");
  ASSERT_NE(file, nullptr);
  char byte;
  EXPECT_EQ(std::fread(&byte, 1, 1, file), 0u);
  EXPECT_NE(std::ferror(file), 0);
  std::fclose(file);
}
#endif

// A folder opens like a file on some systems (fopen "rb" succeeds on Linux, fails on Windows).
// It is no image on any: every stamp reader and every sender refuses it as a file that cannot
// be opened, and no link call is made.
TEST(BadInput, FolderIsNoImage) {
  test::TempFolder folder;
  const std::string dir = folder.path().string();
  using Reader = int (*)(const char*, std::uint32_t*, std::uint32_t*);
  for (Reader read : {ReadUsbStamp, ReadMainStamp, ReadDspStamp, ReadTableStamp}) {
    std::uint32_t major = 7, minor = 7;
    EXPECT_EQ(read(dir.c_str(), &major, &minor), 5);
    EXPECT_EQ(major, 0u);
    EXPECT_EQ(minor, 0u);
  }

  const unsigned char serial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};
  struct Sender {
    ImageSlot UpgradeSettings::*slot;
    std::function<int(const Host&, const UpgradeSettings&)> send;
    const char* notFound;
  } senders[] = {
      {&UpgradeSettings::usb,
       [&](const Host& h, const UpgradeSettings& s) { return SendUsbImage(h, s, serial); },
       " USB DownLoad file is not found.\n"},
      {&UpgradeSettings::mainNewPcb,
       [&](const Host& h, const UpgradeSettings& s) { return SendMainImage(h, s, serial, 0); },
       " MAIN DownLoad file (New PCB) is not found.\n"},
      {&UpgradeSettings::mainOldPcb,
       [&](const Host& h, const UpgradeSettings& s) { return SendMainImage(h, s, serial, 1); },
       " MAIN DownLoad file (Old PCB) is not found.\n"},
      {&UpgradeSettings::dsp,
       [&](const Host& h, const UpgradeSettings& s) { return SendDspImage(h, s, serial); },
       " DSP DownLoad file is not found.\n"},
      {&UpgradeSettings::table,
       [&](const Host& h, const UpgradeSettings& s) { return SendTableImage(h, s, serial); },
       " TABLE DownLoad file is not found.\n"},
  };
  for (const Sender& s : senders) {
    SCOPED_TRACE(s.notFound);
    test::TestHost t;
    UpgradeSettings settings{};
    std::snprintf((settings.*s.slot).path, kPathSize, "%s", dir.c_str());
    (settings.*s.slot).size = 4096;  // measured while it was still a file
    EXPECT_EQ(s.send(t.host, settings), 0);
    EXPECT_EQ(t.out, std::string("Error\x81\x46") + s.notFound);
    EXPECT_TRUE(t.link.calls.empty());
  }
}

// An image that grew after it was measured: the measured bytes go out, no more, no fewer.
TEST(BadInput, ImageThatGrewSendsWhatWasMeasured) {
  test::TempFolder folder;
  const std::string file = Bytes(300, 3);
  const unsigned char serial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};
  for (bool usb : {false, true}) {
    SCOPED_TRACE(usb ? "USB" : "DSP");
    test::TestHost t;
    test::FakePrinter printer;
    std::memcpy(printer.serial.data(), serial, 8);
    t.link.printers.push_back(printer);
    UpgradeSettings settings{};
    ImageSlot& slot = usb ? settings.usb : settings.dsp;
    std::snprintf(slot.path, kPathSize, "%s", folder.Write("image.bin", file).c_str());
    slot.size = 100;
    EXPECT_EQ(usb ? SendUsbImage(t.host, settings, serial) : SendDspImage(t.host, settings, serial),
              1);
    ASSERT_EQ(t.link.downloads.size(), 1u);
    std::string measured = file.substr(0, 100);
    std::string expected = usb ? measured.substr(36) + measured.substr(0, 36) : measured;
    EXPECT_EQ(std::string(t.link.downloads[0].begin(), t.link.downloads[0].end()), expected);
  }
}

}  // namespace
}  // namespace vn
