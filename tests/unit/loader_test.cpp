#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "link/link_api.h"
#include "platform/platform.h"

namespace vn {
namespace {

// The built simulator library sits next to this program, where the loader looks first.
TEST(LoadLinkLibrary, BindsTheLibraryBesideTheProgram) {
  // The simulator's built-in bench: one new-PCB printer SN000001.
  for (const char* name : {"VN818SIM_BENCH", "VN818SIM_FAULTS", "VN818SIM_STATE"}) {
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
  }
  LinkEntryPoints entry;
  std::string reason;
  ASSERT_TRUE(platform::LoadLinkLibrary(entry, reason)) << reason;
  LinkApi link = BindLinkApi(entry);

  LinkError err = 99;
  EXPECT_EQ(link.LinkClose(), 0);  // nothing open yet: harmless
  ASSERT_EQ(link.LinkOpen(kLinkPort, &err), 1);
  EXPECT_EQ(err, 0);
  unsigned char list[8 * 128] = {};
  ASSERT_EQ(link.LinkEnumPrinters(list) & 0xFFFF, 1);
  link.LinkSelectPrinter(list, &err);
  EXPECT_EQ(err, 0);
  unsigned char record[267] = {};
  std::uint32_t length = sizeof record;
  EXPECT_EQ(link.LinkGetInfo(PINFTAG_ENGID, record, &length), 1);
  EXPECT_EQ(std::memcmp(&record[1], "R7734100", 8), 0);
  EXPECT_EQ(link.LinkClose(), 1);
}

#if !defined(_WIN32)
TEST(LoadLinkLibrary, MissingLibraryOrOperationGivesItsLine) {
  struct Case {
    std::string file;
    const char* line;
  } cases[] = {
      {std::string(VN_SIM_BROKEN_DIR) + "/absent/libVN818upgrade.so",
       "Cannot load the printer link library libVN818upgrade.so: "},
      {std::string(VN_SIM_BROKEN_DIR) + "/libVN818upgrade.so",
       "The printer link library libVN818upgrade.so has no operation LinkSendBlock: "},
  };
  for (const Case& c : cases) {
    LinkEntryPoints entry;
    std::string reason;
    EXPECT_FALSE(platform::LoadLinkLibraryFile(c.file, entry, reason));
    EXPECT_EQ(reason.rfind(c.line, 0), 0u) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos);
    EXPECT_EQ(entry.LinkOpen, nullptr);  // nothing left pointing into a closed library
  }
}
#endif

}  // namespace
}  // namespace vn
