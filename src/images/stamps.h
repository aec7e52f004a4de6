// The version stamp inside each kind of firmware image, and the rule that says a printer's
// installed program is older than an image.
#pragma once

#include <cstdint>

namespace vn {

// Each reader returns 0 with (major, minor) set, or a failure code with both outputs 0:
// 1-4 the digit at stamp offset +0..+3 is not hexadecimal (MAIN, DSP), 5 the file cannot be
// opened or ends before its stamp.
int ReadUsbStamp(const char* path, std::uint32_t* major, std::uint32_t* minor);
int ReadMainStamp(const char* path, std::uint32_t* major, std::uint32_t* minor);
int ReadDspStamp(const char* path, std::uint32_t* major, std::uint32_t* minor);
int ReadTableStamp(const char* path, std::uint32_t* major, std::uint32_t* minor);

int IsHexDigit(int ch);
int HexValue(const char* text, int count);

// 1 when the printer's (major, minor) is older than the image's; unsigned comparisons.
int IsOlderVersion(std::uint32_t printerMajor, std::uint32_t printerMinor, std::uint32_t imageMajor,
                   std::uint32_t imageMinor);

}  // namespace vn
