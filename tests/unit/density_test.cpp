#include "upgrade/density.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_host.h"

namespace vn {
namespace {

const unsigned char kSerial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};

const std::vector<std::string> kReadOnly = {"LinkOpen", "LinkSelectPrinter(SN000001)",
                                            "LinkGetInfo(74)", "LinkClose"};

std::vector<std::string> ReadAndWrite(std::uint32_t value) {
  return {"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkGetInfo(74)",
          "LinkSetInfo(74," + std::to_string(value) + ")", "LinkClose"};
}

struct Outcome {
  bool ok;
  std::string out;
  std::vector<std::string> calls;
  std::uint32_t printerValueAfter;
};

// Runs one update against a printer holding `printerValue`; `op`, when given, answers `reply`.
void ExpectUpdate(std::uint32_t printerValue, std::uint32_t target, const std::string& op,
                  test::Reply reply, const Outcome& expected) {
  test::TestHost t;
  test::FakePrinter printer;
  std::copy_n(kSerial, 8, printer.serial.begin());
  printer.density = printerValue;
  t.link.printers = {printer};
  if (!op.empty()) t.link.script[op] = {reply};
  UpgradeSettings settings{};
  settings.densityLami = target;
  EXPECT_EQ(UpdateDensityLami(t.host, settings, kSerial), expected.ok);
  EXPECT_EQ(t.out, expected.out);
  EXPECT_EQ(t.link.calls, expected.calls);
  EXPECT_EQ(t.link.printers[0].density, expected.printerValueAfter);
  EXPECT_TRUE(t.link.violations.empty());
}

const std::string kHead = "\nUpdating Density Lami\n";

TEST(UpdateDensityLami, RaisesToTargetNeverLowers) {
  struct Case {
    const char* what;
    std::uint32_t printerValue;
    std::uint32_t target;
    std::string lines;  // behind the head lines
    bool writes;
  } cases[] = {
      {"below the target", 65, 70, "Current Density Lami = 65\nDensity Lami was updated to 70\n\n",
       true},
      {"equal to the target", 70, 70, "Current Density Lami = 70\n", false},
      {"above the target", 90, 70, "Current Density Lami = 90\n", false},
      {"target 0", 0, 0, "Current Density Lami = 0\n", false},
      {"2^31 is above any smaller target", 0x80000000u, 70, "Current Density Lami = -2147483648\n",
       false},
      {"a target of 2^31 is above a small value", 5, 0x80000000u,
       "Current Density Lami = 5\nDensity Lami was updated to -2147483648\n\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out = kHead + c.lines;
    if (!c.writes) out += "Density Lami does not need to be changed.\n\n";
    ExpectUpdate(c.printerValue, c.target, "", {},
                 {true, out, c.writes ? ReadAndWrite(c.target) : kReadOnly,
                  c.writes ? c.target : c.printerValue});
  }
}

// Printer at 65, target 70: each failing step prints its line and the link is closed once.
TEST(UpdateDensityLami, FailuresPrintTheirLineAndCloseOnce) {
  const std::string readError = kHead + "Checking Density Lami Error. \n\n";
  const std::string current = kHead + "Current Density Lami = 65\n";
  struct Case {
    const char* what;
    std::string op;
    test::Reply reply;
    std::string out;
    std::vector<std::string> calls;
  } cases[] = {
      {"open fails",
       "LinkOpen",
       {0, 1004},
       "Error: Cannot open the USB port(1004)\n",
       {"LinkOpen", "LinkClose"}},
      {"select fails",
       "LinkSelectPrinter",
       {0, 1008},
       "Error: Printer with selected number is not found(1008)\n",
       {"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkClose"}},
      {"read returns 0", "LinkGetInfo", {0, 0}, readError, kReadOnly},
      {"read returns 2", "LinkGetInfo", {2, 0}, readError, kReadOnly},
      {"write returns 0",
       "LinkSetInfo",
       {0, 1006},
       current + "Density Lami could not updated (Error=1006)\n\n",
       ReadAndWrite(70)},
      {"write returns 2",
       "LinkSetInfo",
       {2, 2600},
       current + "Density Lami could not updated (Error=2600)\n\n",
       ReadAndWrite(70)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectUpdate(65, 70, c.op, c.reply, {false, c.out, c.calls, 65});
  }
}

}  // namespace
}  // namespace vn
