#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "temp_folder.h"
#include "test_host.h"

namespace vn {
namespace {

const std::string kBanner =
    "<CLS>VARNO 818 Photo Printer Firmware Package Upgrade\n"
    "Copyright (C) VARNO. All rights reserved.\n\n";
const std::string kOpenError = "File Data Open Error \n ";
const std::string kListHead = "Lists the files used to upgrade the firmware.\n";
const std::string kTooLong = "The settings file name is too long.\n";

std::string FileList(const char* usb, const char* mainOld, const char* mainNew, const char* dsp,
                     const char* table) {
  return kListHead + "USB             :  " + usb + " \n" + "MAIN(Old PCB)   :  " + mainOld + " \n" +
         "MAIN(New PCB)   :  " + mainNew + " \n" + "DSP             :  " + dsp + " \n" +
         "TABLE           :  " + table + " \n";
}

// Runs the driver in a temporary current directory holding `upgrade.ini` (when given) and the
// named image files; the console clear shows in the output as "<CLS>".
class RunDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Enter(); }

  void Prepare(const char* ini, const std::vector<std::string>& images) {
    if (ini != nullptr) folder_.Write("upgrade.ini", ini);
    for (const std::string& image : images) folder_.Write(image, "");
  }

  int Run(test::TestHost& t, std::vector<std::string> args) {
    t.host.clearConsole = [&t]() { t.out += "<CLS>"; };
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return RunDriver(t.host, static_cast<int>(args.size()), argv.data());
  }

  test::TempFolder folder_;
};

TEST_F(RunDriverTest, EndsBeforeTheFileListOnFailureOrWithoutArgument) {
  const std::string longName(260, 'n');
  struct Case {
    const char* what;
    bool nt;
    const char* ini;
    std::vector<std::string> images;
    std::vector<std::string> args;
    std::string out;
    int status;
  } cases[] = {
      {"no argument", true, nullptr, {}, {"vn818fw.exe"}, "", 0},
      {"no argument, other family",
       false,
       nullptr,
       {},
       {"C:\\tools\\vn818fw.exe"},
       "PATH = C:\\tools\\\n",
       0},
      {"none in small letters is a file name",
       true,
       "[USB]\r\nFILEPATH=none\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "USB program file size error.\n",
       1},
      {"empty path",
       true,
       "[DSP]\r\nFILEPATH=\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "DSP program file size error.\n",
       1},
      {"a folder is no image",
       true,
       "[TABLE]\r\nFILEPATH=.\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "TABLE program file size error.\n",
       1},
      {"USB before MAIN old",
       true,
       "[MAIN_OLDPCB]\r\nFILEPATH=gone2\r\n[USB]\r\nFILEPATH=gone1\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "USB program file size error.\n",
       1},
      {"MAIN old before MAIN new",
       true,
       "[MAIN_NEWPCB]\r\nFILEPATH=gone2\r\n[MAIN_OLDPCB]\r\nFILEPATH=gone1\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "MAIN program (OLD PCB) file size error.\n",
       1},
      {"MAIN new before DSP, after a good USB",
       true,
       "[DSP]\r\nFILEPATH=gone2\r\n[MAIN_NEWPCB]\r\nFILEPATH=gone1\r\n[USB]\r\nFILEPATH=u.bin\r\n",
       {"u.bin"},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "MAIN program (NEW PCB) file size error.\n",
       1},
      {"DSP before TABLE",
       true,
       "[TABLE]\r\nFILEPATH=gone2\r\n[DSP]\r\nFILEPATH=gone1\r\n",
       {},
       {"vn818fw", "upgrade.ini"},
       kBanner + kOpenError + "DSP program file size error.\n",
       1},
      {"settings name past the buffer", true, nullptr, {}, {"vn818fw", longName}, kTooLong, 1},
      {"settings name that fits only without the directory",
       true,
       nullptr,
       {},
       {"vn818fw", longName.substr(0, 259)},
       kTooLong,
       1},
      {"directory of the program and name past the buffer",
       false,
       nullptr,
       {},
       {"C:\\" + std::string(200, 'p') + "\\vn818fw.exe", longName.substr(0, 56)},
       "PATH = C:\\" + std::string(200, 'p') + "\\\n" + kTooLong,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ignored;
    std::filesystem::remove("upgrade.ini", ignored);
    Prepare(c.ini, c.images);
    test::TestHost t;
    t.nt = c.nt;
    EXPECT_EQ(Run(t, c.args), c.status);
    EXPECT_EQ(t.out, c.out);
    EXPECT_TRUE(t.link.calls.empty());
  }
}

TEST_F(RunDriverTest, ListsTheFilesThenRunsTheUpgrade) {
  Prepare(
      "[USB]\r\nFILEPATH=u.bin\r\n[MAIN_OLDPCB]\r\nFILEPATH=o.bin\r\n[MAIN_NEWPCB]\r\n"
      "FILEPATH=n.bin\r\n[DSP]\r\nFILEPATH=d.bin\r\n[TABLE]\r\nFILEPATH=t.bin\r\n",
      {"u.bin", "o.bin", "n.bin", "d.bin", "t.bin"});
  const std::string allFiles = kBanner + FileList("u.bin", "o.bin", "n.bin", "d.bin", "t.bin");
  const std::string noFiles = kBanner + FileList("None", "None", "None", "None", "None");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    bool linkLoads;
    bool linkOpens;
    std::string out;  // what the driver prints; the upgrade run's lines may follow
    int status;
  } cases[] = {
      {"zero-length images, further arguments ignored",
       {"vn818fw", "upgrade.ini", "x", "y"},
       true,
       true,
       allFiles,
       0},
      {"no settings file", {"vn818fw", "missing.ini"}, true, true, noFiles, 0},
      {"link library not loadable",
       {"vn818fw", "upgrade.ini"},
       false,
       true,
       allFiles + "Cannot load the printer link library (test)\n",
       1},
      {"upgrade run that failed", {"vn818fw", "upgrade.ini"}, true, false, allFiles, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestHost t;
    t.linkLoads = c.linkLoads;
    t.linkLoadReason = "Cannot load the printer link library (test)";
    if (!c.linkOpens) t.link.script["LinkOpen"].push_back({0, 1004});
    EXPECT_EQ(Run(t, c.args), c.status);
    if (!c.linkLoads) {
      EXPECT_EQ(t.out, c.out);
      EXPECT_TRUE(t.link.calls.empty());
    } else {
      EXPECT_EQ(t.out.substr(0, c.out.size()), c.out);
      ASSERT_FALSE(t.link.calls.empty());
      EXPECT_EQ(t.link.calls.front(), "LinkOpen");
    }
  }
}

TEST(GetDirectoryPart, KeepsUpToTheLastBackslash) {
  struct Case {
    std::string path;
    bool fits;
    std::string dir;
  } cases[] = {
      {"C:\\tools\\vn818fw.exe", true, "C:\\tools\\"},
      {"vn818fw.exe", true, ""},
      {"/usr/local/bin/vn818fw", true, ""},  // only the backslash separates
      {"a\\b\\", true, "a\\b\\"},
      {"\\", true, "\\"},
      {"", true, ""},
      {std::string(258, 'd') + "\\" + std::string(300, 'f'), true, std::string(258, 'd') + "\\"},
      {std::string(259, 'd') + "\\x.exe", false, ""},
  };
  for (const Case& c : cases) {
    char dest[260];
    dest[0] = 'X';
    EXPECT_EQ(GetDirectoryPart(dest, c.path.c_str()), c.fits) << c.path;
    EXPECT_EQ(std::string(dest), c.dir) << c.path;
  }
}

TEST(GetImageFileSize, MeasuresOrFailsWithoutTruncating) {
  test::TempFolder folder;
  struct Case {
    const char* what;
    std::uintmax_t length;  // 0 with `exists` false: no file at all
    bool exists;
    std::int32_t size;
    const char* out;
  } cases[] = {
      {"no file", 0, false, -2, "File Data Open Error \n "},
      {"empty file", 0, true, 0, ""},
      {"small file", 5, true, 5, ""},
      {"largest size", 0x7FFFFFFFu, true, 0x7FFFFFFF, ""},
      {"2 GiB does not fit", 0x80000000u, true, -1, ""},
      {"4 GiB and 5 bytes is not 5", 0x100000005u, true, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = folder.PathOf("image.bin");
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (c.exists) {
      folder.Write("image.bin", "");
      std::filesystem::resize_file(path, c.length);  // sparse: no disk space is used
    }
    test::TestHost t;
    EXPECT_EQ(GetImageFileSize(t.host, path.c_str()), c.size);
    EXPECT_EQ(t.out, c.out);
  }
}

}  // namespace
}  // namespace vn
