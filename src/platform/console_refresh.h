// When the console is flushed. Progress and countdown lines end in "\r" and are flushed so that
// they show at once, but not more often than every 50 ms: a 64 MiB USB image prints 16384
// progress lines, and a console write for each costs more than reading the image. A line held
// back goes out with the next one that is flushed, and before the next sleep at the latest, so
// the line a wait shows is on screen while the tool waits. The bytes written never change.
#pragma once

#include <cstdint>

namespace vn::platform {

constexpr std::uint32_t kConsoleRefreshMs = 50;

class ConsoleRefresh {
 public:
  // A line that ends in "\r" was written at tick `now`: true when it is to be flushed now.
  bool FlushLine(std::uint32_t now) {
    // An unsigned difference stays right across a wrap of the tick counter.
    if (flushedOnce_ && now - lastFlush_ < kConsoleRefreshMs) {
      held_ = true;
      return false;
    }
    flushedOnce_ = true;
    lastFlush_ = now;
    held_ = false;
    return true;
  }

  // The tool is about to sleep at tick `now`: true when a held-back line must be flushed first.
  bool FlushBeforeSleep(std::uint32_t now) {
    if (!held_) return false;
    held_ = false;
    lastFlush_ = now;
    return true;
  }

 private:
  bool flushedOnce_ = false;
  bool held_ = false;
  std::uint32_t lastFlush_ = 0;
};

}  // namespace vn::platform
