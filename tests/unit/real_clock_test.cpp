// The waits on the system's own clock: the real tick counter and sleep bound into the host, the
// printer and the console still fakes. Each case lasts about two seconds. The upper bounds leave
// a loaded machine 100 to 150 ms of lateness; a wait that ends early is always a fault.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "link/readiness.h"
#include "platform/platform.h"
#include "test_host.h"
#include "upgrade/sequence.h"

namespace vn {
namespace {

using Millis = std::chrono::milliseconds;

struct RealClockHost : test::TestHost {
  RealClockHost() {
    host.tickCount = platform::TickCount;
    host.sleep = platform::SleepMs;
  }
};

template <typename Body>
long long MillisecondsOf(Body body) {
  auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start).count();
}

TEST(RealClock, RewriteCountdownLastsItsWaitTime) {
  RealClockHost t;
  long long took = MillisecondsOf([&] { WaitForRewrite(t.host, 2000); });
  EXPECT_GE(took, 2000);
  EXPECT_LE(took, 2100);
  EXPECT_NE(t.out.find("Remaining 2 sec.  \r"), std::string::npos) << t.out;
  EXPECT_NE(t.out.find("Remaining 0 sec.  \r"), std::string::npos) << t.out;
}

// The same countdown on a virtual clock whose sleeps end late, as real ones do.
TEST(RealClock, LateSleepsDoNotShortenTheCountdownButAStallDoes) {
  auto line = [](int s) {
    return "Waiting for the printer to finish rewriting firmware.  Remaining " + std::to_string(s) +
           " sec.  \r";
  };
  struct Case {
    const char* name;
    std::uint32_t lateMs;   // every sleep ends this much late
    std::uint32_t stallMs;  // and the first one this much more
    std::string out;
  } cases[] = {
      {"1 ms late", 1, 0, line(2) + line(1) + line(1) + line(0) + "\n\n"},
      {"50 ms late", 50, 0, line(2) + line(1) + line(1) + line(0) + "\n\n"},
      // 550 ms more than asked: 500 of them count, so the second line shows 1 at once.
      {"a stall", 0, 550, line(2) + line(1) + line(0) + "\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestHost t;
    t.clock.now = 0xFFFFFE00u;  // wraps during the wait
    bool firstSleep = true;
    t.host.sleep = [&](std::uint32_t ms) {
      t.clock.Sleep(ms + c.lateMs + (firstSleep ? c.stallMs : 0));
      firstSleep = false;
    };
    WaitForRewrite(t.host, 2000);
    EXPECT_EQ(t.out, c.out);
  }
}

TEST(RealClock, ReadinessWaitPausesAfterEveryReadingAndEveryLine) {
  RealClockHost t;
  test::FakePrinter printer;
  std::memcpy(printer.serial.data(), "SN000001", 8);
  printer.statuses = {2100, 2100, 0};  // busy, busy, ready at the third reading
  t.link.printers.push_back(printer);

  std::uint16_t result = 0;
  long long took =
      MillisecondsOf([&] { result = WaitPrinterReady(t.host, printer.serial.data()); });
  EXPECT_EQ(result, 1);
  // Two passes of reading, line and pause (2 x 600 ms), then the ready reading and its 300 ms.
  EXPECT_GE(took, 1500);
  EXPECT_LE(took, 1650);
  EXPECT_TRUE(t.link.violations.empty());
}

}  // namespace
}  // namespace vn
