#include "host.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace vn {

void Print(const Host& host, const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof small) {
    va_end(again);
    host.write(std::string_view(small, static_cast<std::size_t>(length)));
    return;
  }
  std::vector<char> large(static_cast<std::size_t>(length) + 1);
  std::vsnprintf(large.data(), large.size(), format, again);
  va_end(again);
  host.write(std::string_view(large.data(), static_cast<std::size_t>(length)));
}

Host MakeSystemHost() {
  Host host;
  host.tickCount = platform::TickCount;
  host.sleep = platform::SleepMs;
  host.write = [](std::string_view text) { platform::WriteStdout(text.data(), text.size()); };
  host.isNtPlatform = platform::IsNtPlatform;
  host.clearConsole = platform::ClearConsole;
  host.loadLinkLibrary = [](LinkApi& link, std::string& reason) {
    LinkEntryPoints entry;
    if (!platform::LoadLinkLibrary(entry, reason)) return false;
    link = BindLinkApi(entry);
    return true;
  };
  return host;
}

}  // namespace vn
