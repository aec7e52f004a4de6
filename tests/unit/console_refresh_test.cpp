#include "platform/console_refresh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vn::platform {
namespace {

// One event on the console at a tick: a line ending in "\r", or the start of a sleep.
struct Event {
  bool sleep;
  std::uint32_t at;
  bool flushed;
};

TEST(ConsoleRefresh, FlushesProgressLinesAtMostEvery50MsAndAlwaysBeforeASleep) {
  struct Case {
    const char* name;
    std::uint32_t start;
    std::vector<Event> events;
  } cases[] = {
      {"the first line always shows", 0, {{false, 0, true}}},
      {"a burst of progress lines shows its first and one every 50 ms",
       1000,
       {{false, 1000, true},
        {false, 1001, false},
        {false, 1049, false},
        {false, 1050, true},
        {false, 1060, false}}},
      {"a held line goes out before the sleep that follows it",
       0,
       {{false, 0, true}, {false, 10, false}, {true, 10, true}, {false, 20, false}}},
      {"a sleep with nothing held writes nothing", 0, {{false, 0, true}, {true, 5, false}}},
      {"countdown lines 500 ms apart all show",
       0,
       {{false, 0, true}, {true, 0, false}, {false, 500, true}, {true, 500, false}}},
      {"a wrap of the tick counter does not hold lines back",
       0xFFFFFFF0u,
       {{false, 0xFFFFFFF0u, true}, {false, 0xFFFFFFFFu, false}, {false, 0x30u, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConsoleRefresh refresh;
    for (const Event& e : c.events) {
      SCOPED_TRACE(e.at);
      bool flushed = e.sleep ? refresh.FlushBeforeSleep(e.at) : refresh.FlushLine(e.at);
      EXPECT_EQ(flushed, e.flushed);
    }
  }
}

}  // namespace
}  // namespace vn::platform
