// What the tool's logic reaches the outside world through: the printer link, the tick counter
// and sleep, the console, and the platform query. main() binds the real ones once; tests bind
// fakes (a scripted link with a call log, a virtual clock, a captured console).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/link_api.h"

namespace vn {

struct Host {
  LinkApi link;
  // Milliseconds since an arbitrary start, unsigned 32-bit, wrapping.
  std::function<std::uint32_t()> tickCount;
  std::function<void(std::uint32_t ms)> sleep;
  // Writes bytes to standard output exactly as given; a text that ends in "\r" is flushed
  // at once so progress shows on a terminal.
  std::function<void(std::string_view text)> write;
  std::function<bool()> isNtPlatform;
  std::function<void()> clearConsole;
  // Loads the link library and binds `link`; false with a one-line reason when it cannot.
  std::function<bool(LinkApi& link, std::string& reason)> loadLinkLibrary;
};

#if defined(__MINGW32__)
#define VN_PRINTF_FORMAT(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#elif defined(__GNUC__)
#define VN_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define VN_PRINTF_FORMAT(f, a)
#endif

// printf into the console seam.
VN_PRINTF_FORMAT(2, 3) void Print(const Host& host, const char* format, ...);

// The host of a real run: the platform's clock, stdout, the loaded link library.
Host MakeSystemHost();

}  // namespace vn
