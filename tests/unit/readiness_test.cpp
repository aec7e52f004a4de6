#include "link/readiness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "test_host.h"

namespace vn {
namespace {

const unsigned char kSerial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};

std::string Line(int seconds) {
  return "Printer Status Waiting. Remaining " + std::to_string(seconds) + " sec.   \r";
}

// The countdown lines showing `seconds`, one after another.
std::string Lines(std::initializer_list<int> seconds) {
  std::string lines;
  for (int s : seconds) lines += Line(s);
  return lines;
}

// A whole wait's output: the opening line break, the countdown lines, the closing one.
std::string Wait(std::initializer_list<int> seconds) {
  std::string out = "\n";
  out += Lines(seconds);
  out += "\n";
  return out;
}

class Readiness : public ::testing::Test {
 protected:
  // A printer that reports `statuses` one after another, the last one from then on.
  void Report(std::deque<PrinterStatus> statuses) {
    test::FakePrinter printer;
    std::copy_n(kSerial, 8, printer.serial.begin());
    printer.statuses = std::move(statuses);
    t.link.printers = {printer};
  }
  bool AllPausesAre300() const {
    return std::all_of(t.clock.sleeps.begin(), t.clock.sleeps.end(),
                       [](std::uint32_t ms) { return ms == 300; });
  }
  test::TestHost t;
};

TEST_F(Readiness, ClassifiesFoldedRangesAndSingleCodes) {
  struct Case {
    PrinterStatus status;
    StatusClass expected;
  } cases[] = {
      {0, kReady},      {2305, kReady},    {2306, kReady},   {2309, kReady},   {2307, kPending},
      {2304, kPending}, {2100, kPending},  {2205, kPending}, {2399, kPending}, {2400, kReady},
      {2401, kReady},   {2499, kReady},    {2500, kPending}, {2999, kPending}, {3000, kReady},
      {3099, kReady},   {3100, kPending},  {3999, kPending}, {4000, kReady},   {4099, kReady},
      {4100, kReady},   {4250, kReady},    {4399, kReady},   {4400, kPending}, {7999, kPending},
      {8000, kReady},   {8299, kReady},    {8300, kPending}, {8499, kPending}, {8500, kReady},
      {8599, kReady},   {8600, kPending},  {2000, kFault},   {2504, kFault},   {2600, kFault},
      {2001, kPending}, {65535, kPending},
  };
  std::deque<PrinterStatus> statuses;
  for (const Case& c : cases) statuses.push_back(c.status);
  Report(statuses);
  LinkError err = 0;
  t.host.link.LinkOpen(kLinkPort, &err);
  t.host.link.LinkSelectPrinter(kSerial, &err);
  for (const Case& c : cases) {
    t.clock.sleeps.clear();
    EXPECT_EQ(ClassifyPrinterStatus(t.host), c.expected) << c.status;
    EXPECT_EQ(t.clock.sleeps, std::vector<std::uint32_t>{300}) << c.status;
  }
  EXPECT_TRUE(t.link.violations.empty());
}

TEST_F(Readiness, ReadyAtFirstReading) {
  Report({0});
  t.clock.now = 5000;
  EXPECT_EQ(WaitPrinterReady(t.host, kSerial), 1);
  EXPECT_EQ(t.out, Wait({}));
  EXPECT_EQ(t.clock.sleeps, std::vector<std::uint32_t>{300});
  EXPECT_EQ(t.link.calls, (std::vector<std::string>{"LinkOpen", "LinkSelectPrinter(SN000001)",
                                                    "LinkGetStatus", "LinkClose"}));
}

TEST_F(Readiness, OpenOrSelectFailurePrintsPlainErrorLine) {
  struct Case {
    std::string op;
    test::Reply reply;
    std::string out;
    std::vector<std::string> calls;
  } cases[] = {
      {"LinkOpen",
       {0, 1004},
       "\nError: Cannot open the USB port(1004)\n",
       {"LinkOpen", "LinkClose"}},
      {"LinkSelectPrinter",
       {0, 1008},
       "\nError: Printer with selected number is not found(1008)\n",
       {"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkClose"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    test::TestHost h;
    h.link.script[c.op] = {c.reply};
    EXPECT_EQ(WaitPrinterReady(h.host, kSerial), 0);
    EXPECT_EQ(h.out, c.out);
    EXPECT_EQ(h.link.calls, c.calls);
    EXPECT_TRUE(h.clock.sleeps.empty());
  }
}

// A printer stuck in a fault is polled, 600 ms a pass, until the countdown reaches 0.
TEST_F(Readiness, FaultIsPolledUntilTheLimit) {
  Report({2600});
  t.clock.now = 1000;
  EXPECT_EQ(WaitPrinterReady(t.host, kSerial), 0);
  // Readings at 300, 900, ..., 119100 ms: the last shows 0 and ends the wait.
  EXPECT_EQ(t.link.CountCalls("LinkGetStatus"), 199);
  std::string head = Wait({119, 119, 118});
  head.pop_back();
  EXPECT_TRUE(t.out.starts_with(head));
  EXPECT_TRUE(t.out.ends_with(Wait({1, 0}).substr(1)));
  EXPECT_EQ(t.clock.now - 1000, 119400u);
  EXPECT_TRUE(AllPausesAre300());
  EXPECT_EQ(t.link.calls.back(), "LinkClose");
  EXPECT_EQ(t.link.CountCalls("LinkClose"), 1);
  EXPECT_TRUE(t.link.violations.empty());
}

// The elapsed time taken after the first reading decides the line and whether the wait goes on;
// the printer is ready at its second reading.
TEST_F(Readiness, CountdownNearStartAndLimit) {
  const std::vector<std::uint32_t> kGoesOn = {300, 300, 300};
  const std::vector<std::uint32_t> kEndsAfterLine = {300, 300};
  const std::vector<std::uint32_t> kEndsAtOnce = {300};
  struct Case {
    std::uint32_t elapsed;
    std::string out;
    std::uint16_t result;
    std::vector<std::uint32_t> sleeps;
  } cases[] = {
      {0, Wait({120}), 1, kGoesOn},           {1, Wait({119}), 1, kGoesOn},
      {1001, Wait({118}), 1, kGoesOn},        {119000, Wait({1}), 1, kGoesOn},
      {119001, Wait({0}), 0, kEndsAfterLine}, {120000, Wait({0}), 0, kEndsAfterLine},
      {120001, Wait({}), 0, kEndsAtOnce},     {0x80000000u, Wait({}), 0, kEndsAtOnce},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.elapsed);
    test::TestHost h;
    h.link.printers = {test::FakePrinter{}};
    std::copy_n(kSerial, 8, h.link.printers[0].serial.begin());
    h.link.printers[0].statuses = {2100, 0};
    h.clock.tickScript = {7000, 7000 + c.elapsed};
    EXPECT_EQ(WaitPrinterReady(h.host, kSerial), c.result);
    EXPECT_EQ(h.out, c.out);
    EXPECT_EQ(h.clock.sleeps, c.sleeps);
    EXPECT_EQ(h.link.CountCalls("LinkClose"), 1);
  }
}

TEST_F(Readiness, TickCounterWrapDoesNotEndTheWait) {
  Report({2100, 2100, 2100, 0});
  t.clock.now = 0xFFFFFFFFu - 400;  // wraps between the first and the second reading
  EXPECT_EQ(WaitPrinterReady(t.host, kSerial), 1);
  EXPECT_EQ(t.out, Wait({119, 119, 118}));
}

// A library that returns without writing a status must never make the printer count as ready.
TEST_F(Readiness, UnwrittenStatusIsNeverReady) {
  Report({0});
  t.link.script["LinkGetStatus"] = std::deque<test::Reply>(400, test::Reply{1, 0});
  EXPECT_EQ(WaitPrinterReady(t.host, kSerial), 0);
  EXPECT_EQ(t.link.CountCalls("LinkGetStatus"), 199);
  EXPECT_TRUE(t.out.ends_with(Wait({0}).substr(1)));
  EXPECT_TRUE(t.link.violations.empty());
}

}  // namespace
}  // namespace vn
