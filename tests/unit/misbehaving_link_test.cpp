// The whole tool against a link library that misbehaves: the simulator, loaded in-process and
// told to lie, and library files that are no library. Each case ends in one clear line (or, where
// the lie cannot be seen, in the described course) and an exit status; never a crash, an overrun
// of the printer list (AddressSanitizer watches) or a hang (the clock is virtual).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "images.h"
#include "platform/platform.h"
#include "sim.h"
#include "temp_folder.h"
#include "test_host.h"

namespace vn {
namespace {

const char kIni[] =
    "[USB]\r\nFILEPATH=usb.bin\r\n[DSP]\r\nFILEPATH=dsp.bin\r\n"
    "[TIME]\r\nUSB_WAIT_TIME=0\r\nMAIN_WAIT_TIME=0\r\nDSP_WAIT_TIME=0\r\nTABLE_WAIT_TIME=0\r\n"
    "DISP_WAIT_TIME=50\r\n";

class MisbehavingLink : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Enter();
    folder_.Write("upgrade.ini", kIni);
    WriteImage(sim::ImageKind::Usb, "usb.bin", 49152);
    WriteImage(sim::ImageKind::Dsp, "dsp.bin", 61440);
  }
  void TearDown() override { sim::Reset(); }

  void WriteImage(sim::ImageKind kind, const char* name, std::uint64_t size) {
    std::vector<unsigned char> image;
    std::string error;
    ASSERT_TRUE(sim::MakeImage(kind, "02.00", size, image, error)) << error;
    folder_.Write(name, std::string(image.begin(), image.end()));
  }

  // Runs the tool on the simulator with `bench`; the console output lands in `t.out`.
  int Run(test::TestHost& t, const std::string& bench) {
    std::string error;
    EXPECT_TRUE(sim::LoadBench(bench, {}, error)) << error;
    t.host.loadLinkLibrary = [](LinkApi& link, std::string&) {
      link = BindLinkApi(sim::EntryPoints());
      return true;
    };
    std::string program = "vn818fw", name = "upgrade.ini";
    char* argv[] = {program.data(), name.data(), nullptr};
    return RunDriver(t.host, 2, argv);
  }

  test::TempFolder folder_;
};

const std::string kPrinter = "printer SN000001\n";
const std::string kUsbSent = "Sent        49152 byte(s) \r";

TEST_F(MisbehavingLink, EachLieEndsInItsLine) {
  std::string manyPrinters;
  for (int i = 1; i <= 130; ++i) manyPrinters += "printer P" + std::to_string(i) + "\n";
  struct Case {
    const char* what;
    std::string bench;
    std::vector<std::string> shown;  // in this order
    std::string end;                 // how the output ends
    std::string absent;              // never shown
    int status;
  } cases[] = {
      {"takes nothing, for ever",
       kPrinter + "fault LinkSendBlock 1+ taken=0\n",
       {"Downloading USB file... [usb.bin]\n"},
       "Sent            0 byte(s) \rError\x81\x46 The printer stopped taking data.\n",
       "Finished.",
       1},
      {"reports more than it was offered",
       kPrinter + "fault LinkSendBlock 1+ taken=1000000\n",
       {"Sent      1000000 byte(s) \rFinished.", "Sent      1000000 byte(s) \rFinished.",
        "Completed firmware upgrade.\n"},
       "\n",
       "Error",
       0},
      {"reports 65535 printers and lists one",
       kPrinter + "enum-count 65535\n",
       {"(Number of printers connected = 65535)", "No1.  Printer S/N = [SN000001]",
        "Completed firmware upgrade.\n"},
       "Error\x81\x46 Printer with selected number is not found(1008)\n",
       "No2.",
       1},
      {"reports a count whose low 16 bits are 0",
       kPrinter + "enum-count 65536\n",
       {"(Number of printers connected = 0)"},
       "Start downloading...\n",
       "No1.",
       0},
      {"lists 130 printers",
       manyPrinters,
       {"(Number of printers connected = 130)", "No129.  Printer S/N = [P129]",
        "No130.  Printer S/N = [P130]"},
       "\n",
       "Error",
       0},
      {"never writes a status",
       kPrinter + "fault LinkGetStatus 1+ silent\n",
       {"Completed firmware upgrade.\n", "Printer Status Waiting. Remaining 119 sec.   \r",
        "Printer Status Waiting. Remaining 0 sec.   \r\n",
        "verifying the information on the upgraded firmware.\n"},
       "\n",
       "Updating Density Lami",
       1},
      {"returns 2 for every information read",
       kPrinter + "fault LinkGetInfo 1+ result=2\n",
       {kUsbSent},
       "\nError:Can't get the printer firmware information...\n",
       "Cannot get the F/W verision",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestHost t;
    EXPECT_EQ(Run(t, c.bench), c.status);
    std::size_t at = 0;
    for (const std::string& part : c.shown) {
      at = t.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << part;
      at += part.size();
    }
    EXPECT_TRUE(t.out.ends_with(c.end))
        << t.out.substr(t.out.size() > 300 ? t.out.size() - 300 : 0);
    EXPECT_EQ(t.out.find(c.absent), std::string::npos);
    ASSERT_FALSE(t.clock.sleeps.empty());
    EXPECT_EQ(t.clock.sleeps.back(), 50u);  // the final pause, once
    EXPECT_EQ(std::count(t.clock.sleeps.begin(), t.clock.sleeps.end(), 50u), 1);
  }
}

#if !defined(_WIN32)
// A file of the library's name that is no library: one line naming it, status 1, no link call.
TEST_F(MisbehavingLink, FileThatIsNoLibraryGivesOneLine) {
  for (const char* content : {"this is not a shared library\n", ""}) {
    SCOPED_TRACE(content);
    const std::string file = folder_.Write("libVN818upgrade.so", content);
    test::TestHost t;
    t.host.loadLinkLibrary = [&file](LinkApi& link, std::string& reason) {
      LinkEntryPoints entry;
      if (!platform::LoadLinkLibraryFile(file, entry, reason)) return false;
      link = BindLinkApi(entry);
      return true;
    };
    std::string program = "vn818fw", name = "upgrade.ini";
    char* argv[] = {program.data(), name.data(), nullptr};
    EXPECT_EQ(RunDriver(t.host, 2, argv), 1);
    const std::string head =
        "TABLE           :  None \nCannot load the printer link library "
        "libVN818upgrade.so: ";
    const std::size_t at = t.out.find(head);
    ASSERT_NE(at, std::string::npos) << t.out;
    // One line, and the last thing the tool says.
    EXPECT_EQ(t.out.find('\n', at + head.size()), t.out.size() - 1);
    EXPECT_TRUE(t.link.calls.empty());
  }
}
#endif

}  // namespace
}  // namespace vn
