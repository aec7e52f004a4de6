#include "driver/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "temp_folder.h"

namespace vn {
namespace {

// Bytes no reader writes: whatever still holds them afterwards was left alone.
constexpr unsigned char kUntouched = 0x5A;
constexpr std::uint32_t kUntouchedSize = 0x5A5A5A5Au;

UpgradeSettings Untouched() {
  UpgradeSettings settings;
  std::memset(&settings, kUntouched, sizeof settings);
  return settings;
}

UpgradeSettings Defaults() {
  UpgradeSettings settings = Untouched();
  for (ImageSlot* slot : {&settings.usb, &settings.mainOldPcb, &settings.mainNewPcb, &settings.dsp,
                          &settings.table}) {
    std::strcpy(slot->path, "None");
  }
  settings.usbWaitTime = 30000;
  settings.mainWaitTime = 60000;
  settings.dspWaitTime = 30000;
  settings.tableWaitTime = 10000;
  settings.dispWaitTime = 1000;
  settings.retryCount = 1;
  settings.densityLami = 70;
  settings.forceDownload = 0;
  return settings;
}

// A path field as text, also when it holds no terminator.
std::string Text(const char (&path)[kPathSize]) {
  return std::string(path, std::find(path, path + kPathSize, '\0'));
}

void ExpectSameSettings(const UpgradeSettings& actual, const UpgradeSettings& expected) {
  struct Slot {
    const char* name;
    const ImageSlot& actual;
    const ImageSlot& expected;
  } slots[] = {
      {"usb", actual.usb, expected.usb},
      {"mainOldPcb", actual.mainOldPcb, expected.mainOldPcb},
      {"mainNewPcb", actual.mainNewPcb, expected.mainNewPcb},
      {"dsp", actual.dsp, expected.dsp},
      {"table", actual.table, expected.table},
  };
  for (const Slot& s : slots) {
    EXPECT_EQ(Text(s.actual.path), Text(s.expected.path)) << s.name;
    EXPECT_EQ(s.actual.size, s.expected.size) << s.name;
  }
  EXPECT_EQ(actual.usbWaitTime, expected.usbWaitTime);
  EXPECT_EQ(actual.mainWaitTime, expected.mainWaitTime);
  EXPECT_EQ(actual.dspWaitTime, expected.dspWaitTime);
  EXPECT_EQ(actual.tableWaitTime, expected.tableWaitTime);
  EXPECT_EQ(actual.dispWaitTime, expected.dispWaitTime);
  EXPECT_EQ(actual.retryCount, expected.retryCount);
  EXPECT_EQ(actual.densityLami, expected.densityLami);
  EXPECT_EQ(actual.forceDownload, expected.forceDownload);
}

class ReadUpgradeSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Enter(); }
  test::TempFolder folder_;
};

TEST_F(ReadUpgradeSettingsTest, FillsPathsAndNumbersButNoSize) {
  const std::string longPath = std::string(250, 'd') + "\\0123456789.bin";
  const std::string longIni = "[MAIN_NEWPCB]\r\nFILEPATH=" + longPath + "\r\n";
  struct Case {
    const char* name;
    const char* ini;  // null: there is no settings file
    std::function<void(UpgradeSettings&)> change;
  } cases[] = {
      {"no file", nullptr, [](UpgradeSettings&) {}},
      {"every key, each in its field",
       "[USB]\nFILEPATH=u.bin\n[MAIN_OLDPCB]\nFILEPATH=o.bin\n[MAIN_NEWPCB]\nFILEPATH=n.bin\n"
       "[DSP]\nFILEPATH=d.bin\n[TABLE]\nFILEPATH=t.bin\n"
       "[TIME]\nUSB_WAIT_TIME=1\nMAIN_WAIT_TIME=2\nDSP_WAIT_TIME=3\nTABLE_WAIT_TIME=4\n"
       "DISP_WAIT_TIME=5\n[RETRY]\nCOUNT=6\n[PARAM]\nDENSITY_LAMI=7\n"
       "[Force_FW_Download]\nForceDownlload=1\n",
       [](UpgradeSettings& s) {
         std::strcpy(s.usb.path, "u.bin");
         std::strcpy(s.mainOldPcb.path, "o.bin");
         std::strcpy(s.mainNewPcb.path, "n.bin");
         std::strcpy(s.dsp.path, "d.bin");
         std::strcpy(s.table.path, "t.bin");
         s.usbWaitTime = 1;
         s.mainWaitTime = 2;
         s.dspWaitTime = 3;
         s.tableWaitTime = 4;
         s.dispWaitTime = 5;
         s.retryCount = 6;
         s.densityLami = 7;
         s.forceDownload = 1;
       }},
      {"names in any letter case",
       "[main_oldpcb]\r\nfilepath=old.bin\r\n[Time]\r\nMain_Wait_Time=90000\r\n"
       "[FORCE_FW_DOWNLOAD]\r\nforcedownlload=1\r\n",
       [](UpgradeSettings& s) {
         std::strcpy(s.mainOldPcb.path, "old.bin");
         s.mainWaitTime = 90000;
         s.forceDownload = 1;
       }},
      {"quotes and blanks dropped",
       "[USB]\r\n  FILEPATH =  \"usb image.bin\"  \r\n[DSP]\r\nFILEPATH='C:\\fw\\dsp.bin'\r\n"
       "[TIME]\r\nDSP_WAIT_TIME = 45000 \r\n",
       [](UpgradeSettings& s) {
         std::strcpy(s.usb.path, "usb image.bin");
         std::strcpy(s.dsp.path, "C:\\fw\\dsp.bin");
         s.dspWaitTime = 45000;
       }},
      {"present empty value is an empty path", "[TABLE]\r\nFILEPATH=\r\n[MAIN_NEWPCB]\r\n",
       [](UpgradeSettings& s) { s.table.path[0] = '\0'; }},
      {"long value cut to 259", longIni.c_str(),
       [&](UpgradeSettings& s) {
         std::strcpy(s.mainNewPcb.path, longPath.substr(0, 259).c_str());
       }},
      {"force switch 2 is kept as it is", "[Force_FW_Download]\r\nForceDownlload=2\r\n",
       [](UpgradeSettings& s) { s.forceDownload = 2; }},
      {"force key with a single l is not read", "[Force_FW_Download]\r\nForceDownload=1\r\n",
       [](UpgradeSettings&) {}},
      {"retry count is only stored", "[RETRY]\r\nCOUNT=9\r\n",
       [](UpgradeSettings& s) { s.retryCount = 9; }},
  };

  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = "upgrade" + std::to_string(++serial) + ".ini";
    if (c.ini != nullptr) folder_.Write(name, c.ini);
    UpgradeSettings settings = Untouched();
    EXPECT_TRUE(ReadUpgradeSettings(settings, name.c_str()));
    UpgradeSettings expected = Defaults();
    c.change(expected);
    ExpectSameSettings(settings, expected);
  }
}

// The name is always put behind the current directory; a composed path that would not fit in
// 259 characters is refused, not cut to a different file.
TEST_F(ReadUpgradeSettingsTest, ComposesTheNameBehindTheCurrentDirectory) {
  const std::string ini = "[PARAM]\r\nDENSITY_LAMI=80\r\n";
  const std::size_t room = 259 - std::filesystem::current_path().string().size() - 1;
  ASSERT_GT(room, 20u) << "the temporary folder's path is too long for this test";
  const std::string fits = std::string(room - 4, 'f') + ".ini";
  const std::string tooLong = std::string(room - 3, 'g') + ".ini";
  folder_.Write(fits, ini);
  folder_.Write("abs.ini", ini);
  struct Case {
    const char* what;
    std::string name;
    bool accepted;
    bool found;
  } cases[] = {
      {"relative name", "abs.ini", true, true},
      {"full path of an existing file", folder_.PathOf("abs.ini"), true, false},
      {"composed path of exactly 259", fits, true, true},
      {"composed path of 260", tooLong, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpgradeSettings settings = Untouched();
    EXPECT_EQ(ReadUpgradeSettings(settings, c.name.c_str()), c.accepted);
    UpgradeSettings expected = c.accepted ? Defaults() : Untouched();
    if (c.found) expected.densityLami = 80;
    ExpectSameSettings(settings, expected);
  }
}

}  // namespace
}  // namespace vn
