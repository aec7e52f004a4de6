#include "driver/messages.h"

#include <gtest/gtest.h>

#include "test_host.h"

namespace vn {
namespace {

TEST(LoadErrorText, KnownUnknownAndSharedTexts) {
  struct Case {
    std::uint32_t code;
    const char* text;
  } cases[] = {
      {1000, "Memory Full"},
      {2600, "USB communication error"},
      {2301, "The specified paper information is not available to the currently selected printer"},
      {3203, "MOT data error(address is incorrect)"},
      {5000, "MOT data error(address is incorrect)"},
      {8000, "Executing self-diagnostic test"},
      {1001, "Unknown error"},  // between two rows
      {0, "Unknown error"},
      {55535, "Unknown error"},  // identifier 65535: the last 16-bit one, no row
      {55536, "Unknown error"},  // identifier past 16 bits
      {0xFFFFFFFFu, "Unknown error"},
  };
  for (const Case& c : cases) {
    char text[260];
    LoadErrorText(c.code, text);
    EXPECT_STREQ(text, c.text) << c.code;
  }
}

TEST(ErrorLines, FormsCarryTextAndCode) {
  test::TestHost t;
  PrintPlainErrorLine(t.host, 2600);
  PrintLinkErrorLine(t.host, 1004);
  PrintBoardErrorLine(t.host, false, 3201);
  PrintBoardErrorLine(t.host, true, 1001);
  EXPECT_EQ(t.out,
            "Error: USB communication error(2600)\n"
            "Error\x81\x46 Cannot open the USB port(1004)\n"
            "Error (New PCB)\x81\x46 Flash download mode error(3201)\n"
            "Error (Old PCB)\x81\x46 Unknown error(1001)\n");
}

}  // namespace
}  // namespace vn
