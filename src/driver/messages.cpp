#include "driver/messages.h"

#include <cstring>

#include "driver/settings.h"
#include "platform/platform.h"

namespace vn {

void LoadErrorText(std::uint32_t code, char* text) {
  text[0] = '\0';
  // A string table identifier is 16 bits: a larger one names no row.
  if (code <= 65535u - 10000u) {
    platform::LoadResourceString(code + 10000u, text, kPathSize);
  }
  if (text[0] == '\0') std::strcpy(text, "Unknown error");
}

static void PrintErrorLine(const Host& host, const char* prefix, LinkError code) {
  char text[kPathSize];
  LoadErrorText(code, text);
  Print(host, "%s %s(%d)\n", prefix, text, static_cast<int>(code));
}

void PrintLinkErrorLine(const Host& host, LinkError code) {
  PrintErrorLine(host, "Error\x81\x46", code);
}

void PrintBoardErrorLine(const Host& host, bool oldPcb, LinkError code) {
  PrintErrorLine(host, oldPcb ? "Error (Old PCB)\x81\x46" : "Error (New PCB)\x81\x46", code);
}

void PrintPlainErrorLine(const Host& host, LinkError code) {
  char text[kPathSize];
  LoadErrorText(code, text);
  Print(host, "Error: %s(%d)\n", text, static_cast<int>(code));
}

}  // namespace vn
