#include "link/printer_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_host.h"

namespace vn {
namespace {

const unsigned char kSerial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};

// Writes one program entry; each text is given at its full field width (zero bytes included).
void SetEntry(std::array<unsigned char, 267>& record, int entry, const std::string& name,
              const std::string& type, const std::string& date, int major, int minor) {
  unsigned char* p = &record[1 + 38 * entry];
  std::copy_n(name.begin(), 8, p);
  std::copy_n(type.begin(), 16, p + 8);
  std::copy_n(date.begin(), 10, p + 24);
  p[34] = static_cast<unsigned char>(major);
  p[35] = static_cast<unsigned char>(minor);
}

// Junk everywhere the tool must not look: the head byte, entries 0, 2 and 4, the last two bytes
// of each entry, and the bytes behind a text's terminator.
std::array<unsigned char, 267> JunkRecord() {
  std::array<unsigned char, 267> record;
  record.fill('Z');
  SetEntry(record, 1, "MAINPROG", "ABCDEFGHIJKLMNOP", "2026/12/11", 0x0a, 0x0b);
  SetEntry(record, 3, std::string("DSP\0ZZZZ", 8), std::string("dsp\0ZZZZZZZZZZZZ", 16),
           std::string("\0ZZZZZZZZZ", 10), 0x00, 0xff);
  SetEntry(record, 5, std::string("\0ZZZZZZZ", 8), "USB-CONTROLLER-1", "2025/01/02", 1, 2);
  SetEntry(record, 6, std::string("TBL\0ZZZZ", 8), std::string("TABLE\0ZZZZZZZZZZ", 16),
           std::string("2024/07/31", 10), 0x10, 0x0f);
  return record;
}

class PrinterInfo : public ::testing::Test {
 protected:
  PrinterInfo() {
    test::FakePrinter printer;
    std::copy_n(kSerial, 8, printer.serial.begin());
    printer.engine = JunkRecord();
    t.link.printers.push_back(printer);
  }
  test::TestHost t;
};

TEST_F(PrinterInfo, ReadsVersionsOfMainDspUsbTable) {
  std::uint32_t v[8] = {};
  EXPECT_EQ(
      ReadPrinterVersions(t.host, kSerial, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]),
      0);
  EXPECT_EQ(std::vector<std::uint32_t>(v, v + 8),
            (std::vector<std::uint32_t>{0x0a, 0x0b, 0x00, 0xff, 1, 2, 0x10, 0x0f}));
  EXPECT_EQ(t.out, "");
  EXPECT_EQ(t.link.calls, (std::vector<std::string>{"LinkOpen", "LinkSelectPrinter(SN000001)",
                                                    "LinkGetInfo(3)", "LinkClose"}));
  EXPECT_TRUE(t.link.violations.empty());
}

TEST_F(PrinterInfo, ReportPrintsEachFieldUpToItsZeroOrItsWidth) {
  EXPECT_TRUE(PrintFirmwareReport(t.host, kSerial));
  EXPECT_EQ(t.out,
            "verifying the information on the upgraded firmware.\n\n"
            "----- MAIN -----\n"
            "Program Name  = MAINPROG\n"
            "Program Type  = ABCDEFGHIJKLMNOP\n"
            "Create Date   = 2026/12/11\n"
            "Version       = 0a.0b \n"
            "\n----- DSP -----\n"
            "Program Name  = DSP\n"
            "Program Type  = dsp\n"
            "Create Date   = \n"
            "Version       = 00.ff \n"
            "\n----- USB -----\n"
            "Program Name  = \n"
            "Program Type  = USB-CONTROLLER-1\n"
            "Create Date   = 2025/01/02\n"
            "Version       = 01.02 \n"
            "\n----- TABLE -----\n"
            "Program Name  = TBL\n"
            "Program Type  = TABLE\n"
            "Create Date   = 2024/07/31\n"
            "Version       = 10.0f \n");
  EXPECT_EQ(t.link.calls, (std::vector<std::string>{"LinkOpen", "LinkSelectPrinter(SN000001)",
                                                    "LinkGetInfo(3)", "LinkClose"}));
  EXPECT_TRUE(t.link.violations.empty());
}

TEST(PrintSectionHeader, UnknownSectionsPrintNothing) {
  for (int section : {0, 5, -1}) {
    test::TestHost t;
    PrintSectionHeader(t.host, section);
    EXPECT_EQ(t.out, "") << section;
  }
}

// Each failure prints its one line, leaves the caller's outputs alone and closes the link once;
// the report then prints nothing more.
TEST_F(PrinterInfo, FailuresPrintOneLineAndCloseOnce) {
  const std::vector<std::string> kOpenOnly = {"LinkOpen", "LinkClose"};
  const std::vector<std::string> kUpToSelect = {"LinkOpen", "LinkSelectPrinter(SN000001)",
                                                "LinkClose"};
  const std::vector<std::string> kUpToRead = {"LinkOpen", "LinkSelectPrinter(SN000001)",
                                              "LinkGetInfo(3)", "LinkClose"};
  struct Case {
    const char* what;
    std::string op;
    test::Reply reply;
    int code;
    std::string line;
    std::vector<std::string> calls;
  } cases[] = {
      {"open fails",
       "LinkOpen",
       {0, 1004},
       1,
       "Error\x81\x46 Cannot open the USB port(1004)\n",
       kOpenOnly},
      {"select fails",
       "LinkSelectPrinter",
       {0, 1008},
       2,
       "Error\x81\x46 Printer with selected number is not found(1008)\n",
       kUpToSelect},
      {"select reports success but an error code",
       "LinkSelectPrinter",
       {1, 2600},
       2,
       "Error\x81\x46 USB communication error(2600)\n",
       kUpToSelect},
      {"record read fails",
       "LinkGetInfo",
       {0, 0},
       3,
       "PINFTAG_ENGID information acquisition failure.\n",
       kUpToRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool report : {false, true}) {
      test::TestHost h;
      h.link.printers = t.link.printers;
      h.link.script[c.op] = {c.reply};
      if (report) {
        EXPECT_FALSE(PrintFirmwareReport(h.host, kSerial));
      } else {
        std::uint32_t v[8] = {7, 7, 7, 7, 7, 7, 7, 7};
        EXPECT_EQ(ReadPrinterVersions(h.host, kSerial, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                      &v[6], &v[7]),
                  c.code);
        EXPECT_EQ(std::vector<std::uint32_t>(v, v + 8), std::vector<std::uint32_t>(8, 7));
      }
      EXPECT_EQ(h.out, c.line);
      EXPECT_EQ(h.link.calls, c.calls);
      EXPECT_TRUE(h.link.violations.empty());
    }
  }
}

// The select's result and the exact value of a successful read are not looked at.
TEST_F(PrinterInfo, SuccessIsWhatTheLinkReportsAsSuch) {
  for (bool selectReturnsZero : {true, false}) {
    SCOPED_TRACE(selectReturnsZero ? "select returns 0 with no error code"
                                   : "record read returns 2");
    test::TestHost h;
    h.link.printers = t.link.printers;
    if (selectReturnsZero) {
      auto select = h.host.link.LinkSelectPrinter;
      h.host.link.LinkSelectPrinter = [select](const unsigned char* serial, LinkError* err) {
        select(serial, err);
        return 0;
      };
    } else {
      h.link.script["LinkGetInfo"] = {{2, 0}, {2, 0}};
    }
    std::uint32_t v[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(ReadPrinterVersions(h.host, kSerial, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                                  &v[7]),
              0);
    EXPECT_NE(std::vector<std::uint32_t>(v, v + 8), std::vector<std::uint32_t>(8, 7));
    EXPECT_TRUE(PrintFirmwareReport(h.host, kSerial));
    EXPECT_EQ(h.out.rfind("verifying the information on the upgraded firmware.\n\n", 0), 0u);
    EXPECT_EQ(h.link.CountCalls("LinkClose"), 2);
    EXPECT_TRUE(h.link.violations.empty());
  }
}

}  // namespace
}  // namespace vn
