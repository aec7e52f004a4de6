// The message catalogue: the English text of a link library error code, and the error line
// forms every part of the tool prints link failures with.
#pragma once

#include <cstdint>

#include "host.h"

namespace vn {

// The two bytes that follow "Error" in the link error lines: a full-width colon in Shift-JIS,
// written to the console unchanged.
constexpr const char* kWideColon = "\x81\x46";

// Puts the catalogue text of `code` (identifier code + 10000) into `text`, a buffer of 260
// characters, or "Unknown error" when the catalogue has no such row.
void LoadErrorText(std::uint32_t code, char* text);

// "Error", 0x81 0x46, " %s(%d)\n" with the catalogue text of `code` and the code.
void PrintLinkErrorLine(const Host& host, LinkError code);
// The same with "Error (Old PCB)" or "Error (New PCB)" in place of "Error".
void PrintBoardErrorLine(const Host& host, bool oldPcb, LinkError code);
// "Error: %s(%d)\n".
void PrintPlainErrorLine(const Host& host, LinkError code);

}  // namespace vn
