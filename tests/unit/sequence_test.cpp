#include "upgrade/sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "test_host.h"

namespace vn {
namespace {

enum class Kind { kUsb, kMain, kDsp, kTable };

// An image of the given kind, zero except for its version stamp.
std::vector<unsigned char> ImageBytes(Kind kind, unsigned major, unsigned minor) {
  std::vector<unsigned char> bytes;
  auto hex = [&bytes](std::size_t at, unsigned a, unsigned b) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%02X%02X", a, b);
    std::memcpy(&bytes[at], digits, 4);
  };
  switch (kind) {
    case Kind::kUsb:
      bytes.assign(49152, 0);
      bytes[49114] = static_cast<unsigned char>(major);
      bytes[49115] = static_cast<unsigned char>(minor);
      break;
    case Kind::kMain:
      bytes.assign(256, 0);
      hex(26, major, minor);
      break;
    case Kind::kDsp:
      bytes.assign(61440, 0);
      hex(61344, major, minor);
      break;
    case Kind::kTable:  // raw bytes, low part first: value = high * 16 + low
      bytes.assign(256, 0);
      bytes[26] = static_cast<unsigned char>(major & 0xF);
      bytes[27] = static_cast<unsigned char>(major >> 4);
      bytes[28] = static_cast<unsigned char>(minor & 0xF);
      bytes[29] = static_cast<unsigned char>(minor >> 4);
      break;
  }
  return bytes;
}

std::array<unsigned char, 8> Serial(const char* text) {
  std::array<unsigned char, 8> serial{};
  std::memcpy(serial.data(), text, std::min<std::size_t>(std::strlen(text), 8));
  return serial;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

std::string Countdown(std::initializer_list<int> shown) {
  std::string text;
  for (int s : shown) {
    text += "Waiting for the printer to finish rewriting firmware.  Remaining " +
            std::to_string(s) + " sec.  \r";
  }
  return text + "\n\n";
}

const std::string kSeparator = "----------------------------------------\n";
constexpr std::uint32_t kDispWait = 777;

class SequenceTest : public ::testing::Test {
 public:
  test::TestHost t;
  UpgradeSettings settings{};
  std::filesystem::path dir;

  void SetUp() override {
    for (ImageSlot* slot : {&settings.usb, &settings.mainOldPcb, &settings.mainNewPcb,
                            &settings.dsp, &settings.table}) {
      std::strcpy(slot->path, "None");
    }
    settings.dispWaitTime = kDispWait;
    settings.densityLami = 70;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::path(::testing::TempDir()) / (std::string("vn818-seq-") + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void AddPrinter(const char* serial, const char* board, int mainMajor, int mainMinor, int dspMajor,
                  int dspMinor, int usbMajor, int usbMinor, int tableMajor, int tableMinor) {
    test::FakePrinter printer;
    printer.serial = Serial(serial);
    printer.engine = test::MakeEngineRecord(board, mainMajor, mainMinor, dspMajor, dspMinor,
                                            usbMajor, usbMinor, tableMajor, tableMinor);
    t.link.printers.push_back(printer);
  }

  // Writes `bytes` as the slot's image file and sets its path and measured size.
  std::string SetImage(ImageSlot& slot, const char* name, const std::vector<unsigned char>& bytes) {
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::snprintf(slot.path, sizeof slot.path, "%s", path.c_str());
    slot.size = static_cast<std::uint32_t>(bytes.size());
    return path;
  }

  // Console writes go into the call log too, so that the order of lines and LinkClose shows.
  void LogWritesWithCalls() {
    t.host.write = [this](std::string_view text) {
      t.out.append(text);
      t.link.calls.push_back("> " + std::string(text));
    };
  }

  std::vector<std::string> SelectCalls() const {
    std::vector<std::string> selects;
    for (const std::string& c : t.link.calls) {
      if (c.rfind("LinkSelectPrinter", 0) == 0) selects.push_back(c);
    }
    return selects;
  }
};

TEST_F(SequenceTest, EveryFailureEndsTheRunThroughTheOneFinalPause) {
  struct Case {
    const char* name;
    std::function<void(SequenceTest&)> setup;
    std::vector<std::string> tail;  // last calls and console writes ("> "); {dir} is replaced
    bool whole = false;             // the tail is the whole log
  };
  const std::string openError = "> Error\x81\x46 Cannot open the USB port(1004)\n";
  const std::string selectError =
      "> Error\x81\x46 Printer with selected number is not found(1008)\n";
  const Case cases[] = {
      {"first LinkOpen",
       [](SequenceTest& f) {
         f.t.link.script["LinkOpen"] = {{0, 1004}};
       },
       {"LinkOpen", openError, "LinkClose"},
       true},
      {"LinkOpen before the serial line",
       [](SequenceTest& f) {
         f.t.link.script["LinkOpen"] = {{1, 0}, {0, 1004}};
       },
       {"> Start downloading...\n", "LinkClose", "LinkOpen", openError, "LinkClose"}},
      {"LinkSelectPrinter before the serial line",
       [](SequenceTest& f) {
         f.t.link.script["LinkSelectPrinter"] = {{0, 1008}};
       },
       {"> Start downloading...\n", "LinkClose", "LinkOpen", "LinkSelectPrinter(SN000001)",
        selectError, "LinkClose"}},
      {"installed versions",
       [](SequenceTest& f) {
         f.t.link.script["LinkGetInfo"] = {{0, 0}};
       },
       {"LinkGetInfo(3)", "> PINFTAG_ENGID information acquisition failure.\n", "LinkClose",
        "> Cannot get the F/W verision from printer. (3)\n", "LinkClose"}},
      {"USB stamp of a missing file",
       [](SequenceTest& f) {
         std::snprintf(f.settings.usb.path, kPathSize, "%s", (f.dir / "gone.bin").string().c_str());
       },
       {"LinkGetInfo(3)", "LinkClose", "> Cannot get the verision from USB binary file. (5)\n",
        "LinkClose"}},
      {"MAIN stamp with a letter that is no digit",
       [](SequenceTest& f) {
         auto bytes = ImageBytes(Kind::kMain, 1, 1);
         bytes[27] = 'G';
         f.SetImage(f.settings.mainNewPcb, "main.bin", bytes);
       },
       {"LinkGetInfo(3)", "LinkClose",
        "> Cannot get the verision from MAIN(New PCB) binary file. (2)\n", "LinkClose"}},
      {"USB sender",
       [](SequenceTest& f) {
         f.SetImage(f.settings.usb, "usb.bin", ImageBytes(Kind::kUsb, 1, 1));
         f.t.link.script["LinkSendBlock"] = {{0, 2600}};
       },
       {"> Downloading USB file... [{dir}usb.bin]\n", "LinkOpen", "LinkSelectPrinter(SN000001)",
        "LinkBeginDownload(6,16384,49152)", "LinkSendBlock(4096)",
        "> Error\x81\x46 USB communication error(2600)\n", "LinkEndDownload", "LinkClose"}},
      {"DSP sender",
       [](SequenceTest& f) {
         f.SetImage(f.settings.dsp, "dsp.bin", ImageBytes(Kind::kDsp, 1, 1));
         f.t.link.script["LinkBeginDownload"] = {{0, 3201}};
       },
       {"> Downloading DSP file... [{dir}dsp.bin]\n", "LinkOpen", "LinkSelectPrinter(SN000001)",
        "LinkBeginDownload(0,0,61440)", "> Error\x81\x46 Flash download mode error(3201)\n",
        "LinkEndDownload", "LinkClose"}},
      {"LinkOpen before the board identification",
       [](SequenceTest& f) {
         f.t.link.script["LinkOpen"] = {{1, 0}, {1, 0}, {1, 0}, {0, 1004}};
       },
       {"LinkClose", "> No usb downloadFile...\n", "LinkOpen", openError, "LinkClose"}},
      {"LinkSelectPrinter before the board identification",
       [](SequenceTest& f) {
         auto select = f.t.host.link.LinkSelectPrinter;
         f.t.host.link.LinkSelectPrinter = [&f, select, n = 0](const unsigned char* serial,
                                                               LinkError* err) mutable {
           if (++n != 3) return select(serial, err);
           f.t.link.calls.push_back("LinkSelectPrinter(SN000001)");
           *err = 1008;
           return 0;
         };
       },
       {"> No usb downloadFile...\n", "LinkOpen", "LinkSelectPrinter(SN000001)", selectError,
        "LinkClose"}},
      {"engine record for the board",
       [](SequenceTest& f) {
         f.t.link.script["LinkGetInfo"] = {{1, 0}, {2, 0}};
       },
       {"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkGetInfo(3)", "LinkClose", "> \n",
        "> Error:Can't get the printer firmware information...\n"}},
      {"unrecognised board, no MAIN slot configured",
       [](SequenceTest& f) {
         f.t.link.printers[0].engine = test::MakeEngineRecord("R7734101", 1, 0, 1, 0, 1, 0, 1, 0);
       },
       {"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkGetInfo(3)", "LinkClose", "> \n",
        "> Error:Incorrect Program Type...\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SequenceTest& f = *this;
    f.t.link = test::FakeLink{};
    f.t.host.link = f.t.link.Bind();
    f.t.out.clear();
    f.t.clock = test::VirtualClock{};
    f.settings = UpgradeSettings{};
    f.SetUp();
    f.LogWritesWithCalls();
    f.AddPrinter("SN000001", "R7734100", 1, 0, 1, 0, 1, 0, 1, 0);
    f.AddPrinter("SN000002", "R7734100", 1, 0, 1, 0, 1, 0, 1, 0);
    c.setup(f);

    EXPECT_FALSE(RunPrinterUpgrades(f.t.host, f.settings));

    std::vector<std::string> tail = c.tail;
    std::string dirText = (f.dir / "").string();
    for (std::string& line : tail) {
      if (auto at = line.find("{dir}"); at != std::string::npos) line.replace(at, 5, dirText);
    }
    const auto& calls = f.t.link.calls;
    ASSERT_GE(calls.size(), tail.size());
    if (c.whole) {
      EXPECT_EQ(calls, tail);
    }
    EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<std::ptrdiff_t>(tail.size()),
                                       calls.end()),
              tail);
    for (const std::string& call : calls) {
      EXPECT_EQ(call.find("SN000002"), std::string::npos);
    }
    ASSERT_FALSE(f.t.clock.sleeps.empty());
    EXPECT_EQ(f.t.clock.sleeps.back(), kDispWait);
    EXPECT_EQ(std::count(f.t.clock.sleeps.begin(), f.t.clock.sleeps.end(), kDispWait), 1);
    EXPECT_TRUE(f.t.link.violations.empty());
    f.TearDown();
  }
}

TEST(WaitForRewrite, CountsDownWholeSecondsAndNeverShowsAWrappedValue) {
  // 30, then every second twice, down to the pass that shows 0 (at 29.5 s) and its pause.
  std::string thirty = Countdown({30});
  for (int s = 29; s >= 0; --s) {
    thirty.resize(thirty.size() - 2);  // the closing "\n\n" comes once, at the end
    thirty += s > 0 ? Countdown({s, s}) : Countdown({0});
  }
  struct Case {
    std::uint32_t waitMs;
    std::uint32_t stepPerReading;
    std::string out;
    std::size_t pauses;  // of 500 ms each
  } cases[] = {
      {30000, 0, thirty, 60},       // 30 s in all
      {999, 0, Countdown({0}), 1},  // below a second: one line showing 0
      {0, 0, Countdown({0}), 1},
      {1000, 1001, "\n\n", 0},         // more than W passed before the first line
      {2000, 900, Countdown({1}), 1},  // the second pass finds 2300 ms elapsed: no line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waitMs);
    test::TestHost t;
    t.clock.now = 0xFFFFFF00u;  // the tick counter wraps round during the wait
    t.clock.stepPerReading = c.stepPerReading;
    WaitForRewrite(t.host, c.waitMs);
    EXPECT_EQ(t.out, c.out);
    EXPECT_EQ(t.clock.sleeps, std::vector<std::uint32_t>(c.pauses, 500));
  }
}

TEST_F(SequenceTest, TypicalPrinterFromVersionsToReport) {
  AddPrinter("SN000001", "R7734100", 0x01, 0x00, 0x02, 0x05, 0x03, 0x00, 0x00, 0x10);
  t.link.printers[0].density = 65;
  std::string main = SetImage(settings.mainNewPcb, "main.bin", ImageBytes(Kind::kMain, 1, 1));
  std::string dsp = SetImage(settings.dsp, "dsp.bin", ImageBytes(Kind::kDsp, 2, 5));
  std::string table = SetImage(settings.table, "table.bin", ImageBytes(Kind::kTable, 0x105, 2));
  // A new-PCB printer never looks at the old-PCB image.
  std::snprintf(settings.mainOldPcb.path, kPathSize, "%s", (dir / "gone.bin").string().c_str());
  settings.tableWaitTime = 999;

  EXPECT_TRUE(RunPrinterUpgrades(t.host, settings));

  std::string report = "verifying the information on the upgraded firmware.\n\n";
  const char* sections[] = {"----- MAIN -----\n", "\n----- DSP -----\n", "\n----- USB -----\n",
                            "\n----- TABLE -----\n"};
  const char* versions[] = {"01.00", "02.05", "03.00", "00.10"};
  for (int i = 0; i < 4; ++i) {
    report += std::string(sections[i]) + "Program Name  = \nProgram Type  = \nCreate Date   = \n" +
              "Version       = " + versions[i] + " \n";
  }
  EXPECT_EQ(t.out,
            "\nStart download.(Number of printers connected = 1)\n"
            "\nDetected 1 printer(s)\n"
            "Start downloading...\n"
            "\nNo1.  Printer S/N = [SN000001] \n\n"
            "No usb downloadFile...\n" +
                kSeparator +
                "Printer(Main NEW) Version = 01.00 \nBinary(Main NEW) Version = 01.01 \n" +
                kSeparator + "Downloading MAIN file (New PCB)... [" + main + "]\n" +
                "Sent          256 byte(s) \r" + "Finished." + std::string(50, ' ') + "\n" +
                Countdown({0}) + kSeparator +
                "Printer(Dsp) Version = 02.05 \nBinary(Dsp) Version = 02.05 \n" + kSeparator +
                "Skip DSP downloading... [" + dsp + "]\n" + kSeparator +
                "Printer(Table) Version = 00.10 \nBinary(Table) Version = 105.02 \n" + kSeparator +
                "Downloading TABLE file... [" + table + "]\n" + "Sent          256 byte(s) \r" +
                "Finished." + std::string(51, ' ') + "\n" + Countdown({0}) +
                "Completed firmware upgrade.\n"
                "\n\n"
                "\nUpdating Density Lami\nCurrent Density Lami = 65\n"
                "Density Lami was updated to 70\n\n" +
                report + "\n");

  const std::string s = "LinkSelectPrinter(SN000001)";
  EXPECT_EQ(t.link.calls, (std::vector<std::string>{
                              "LinkOpen",
                              "LinkEnumPrinters",
                              "LinkClose",  // list
                              "LinkOpen",
                              s,
                              "LinkClose",  // serial line
                              "LinkOpen",
                              s,
                              "LinkGetInfo(3)",
                              "LinkClose",  // versions
                              "LinkOpen",
                              s,
                              "LinkGetInfo(3)",
                              "LinkClose",  // board
                              "LinkOpen",
                              s,
                              "LinkBeginDownload(1,0,256)",
                              "LinkSendBlock(256)",  // MAIN
                              "LinkEndDownload",
                              "LinkClose",  //
                              "LinkOpen",
                              s,
                              "LinkBeginDownload(2,0,256)",
                              "LinkSendBlock(256)",  // TABLE
                              "LinkEndDownload",
                              "LinkClose",  //
                              "LinkOpen",
                              s,
                              "LinkGetStatus",
                              "LinkClose",  // ready
                              "LinkOpen",
                              s,
                              "LinkGetInfo(74)",
                              "LinkSetInfo(74,70)",
                              "LinkClose",  // density
                              "LinkOpen",
                              s,
                              "LinkGetInfo(3)",
                              "LinkClose",  // report
                          }));
  EXPECT_EQ(t.clock.sleeps, (std::vector<std::uint32_t>{500, 500, 300, kDispWait}));
  EXPECT_TRUE(t.link.violations.empty());
}

TEST_F(SequenceTest, StatesStartAfreshForEveryPrinter) {
  AddPrinter("SN000001", "R7734100", 1, 0, 1, 0, 0x01, 0x00, 1, 0);
  AddPrinter("SN000002", "R6518200", 1, 0, 1, 0, 0x02, 0x00, 1, 0);
  std::string usb = SetImage(settings.usb, "usb.bin", ImageBytes(Kind::kUsb, 2, 0));

  EXPECT_TRUE(RunPrinterUpgrades(t.host, settings));

  // The USB image went to the first printer only; the second skips it and so has nothing to
  // complete, wait for or report.
  std::string second = t.out.substr(t.out.find("No2."));
  EXPECT_EQ(second, "No2.  Printer S/N = [SN000002] \n\n" + kSeparator +
                        "Printer(Usb) Version = 02.00 \nBinary(Usb) Version = 02.00 \n" +
                        kSeparator + "Skip USB downloading... [" + usb +
                        "]\n"
                        "No main downloadFile (Old PCB)...\n"
                        "No dsp downloadFile...\n"
                        "No Table downloadFile...\n"
                        "\n");
  EXPECT_EQ(Count(t.out, "Completed firmware upgrade.\n"), 1u);
  EXPECT_EQ(t.link.downloads.size(), 1u);
  EXPECT_EQ(t.link.CountCalls("LinkGetStatus"), 1);
}

TEST_F(SequenceTest, OnlyForceDownloadOneSendsImagesThatAreNotNewer) {
  for (std::uint32_t force : {0u, 1u, 2u}) {
    SCOPED_TRACE(force);
    t.link = test::FakeLink{};
    t.host.link = t.link.Bind();
    t.out.clear();
    // Equal versions everywhere but DSP, where the printer is newer than the image.
    AddPrinter("SN000001", "R7734100", 1, 0, 2, 0, 1, 0, 1, 0);
    SetImage(settings.usb, "usb.bin", ImageBytes(Kind::kUsb, 1, 0));
    SetImage(settings.mainNewPcb, "main.bin", ImageBytes(Kind::kMain, 1, 0));
    SetImage(settings.dsp, "dsp.bin", ImageBytes(Kind::kDsp, 1, 0));
    SetImage(settings.table, "table.bin", ImageBytes(Kind::kTable, 1, 0));
    auto old = ImageBytes(Kind::kMain, 9, 9);
    old.resize(512);  // a size of its own, so a wrong MAIN slot shows in the download
    SetImage(settings.mainOldPcb, "old.bin", old);
    settings.forceDownload = force;

    EXPECT_TRUE(RunPrinterUpgrades(t.host, settings));

    EXPECT_EQ(Count(t.out, "Binary("), 4u);  // version lines come in either case
    std::vector<std::string> begins;
    for (const std::string& c : t.link.calls) {
      if (c.rfind("LinkBeginDownload", 0) == 0) begins.push_back(c);
    }
    if (force == 1) {
      EXPECT_EQ(begins, (std::vector<std::string>{
                            "LinkBeginDownload(6,16384,49152)", "LinkBeginDownload(1,0,256)",
                            "LinkBeginDownload(0,0,61440)", "LinkBeginDownload(2,0,256)"}));
      EXPECT_EQ(Count(t.out, "Skip "), 0u);
      EXPECT_EQ(Count(t.out, "Completed firmware upgrade.\n"), 1u);
    } else {
      EXPECT_TRUE(begins.empty());
      EXPECT_EQ(Count(t.out, "Skip "), 4u);
      EXPECT_EQ(Count(t.out, "Completed firmware upgrade.\n"), 0u);
    }
  }
}

TEST_F(SequenceTest, RunResultCountsFailuresThatDoNotEndIt) {
  struct Case {
    const char* name;
    std::function<void(SequenceTest&)> setup;
    bool ok;
    std::string shows;
  } cases[] = {
      {"all well", [](SequenceTest&) {}, true,
       "Density Lami does not need to be changed.\n\nverifying"},
      {"no printer", [](SequenceTest& f) { f.t.link.printers.clear(); }, true,
       "\nStart download.(Number of printers connected = 0)\n\nDetected 0 printer(s)\n"
       "Start downloading...\n"},
      // Opens: list, serial line, versions, board, TABLE download, then the readiness wait.
      {"not ready: no density update, the report all the same",
       [](SequenceTest& f) {
         f.t.link.script["LinkOpen"] = {{1}, {1}, {1}, {1}, {1}, {0, 1004}};
       },
       false, "Completed firmware upgrade.\n\nError: Cannot open the USB port(1004)\nverifying"},
      {"density not written",
       [](SequenceTest& f) {
         f.t.link.printers[0].density = 65;
         f.t.link.script["LinkSetInfo"] = {{0, 1006}};
       },
       false, "Density Lami could not updated (Error=1006)\n\n"},
      // Engine reads: versions, board, density (tag 74), then the report.
      {"report not read",
       [](SequenceTest& f) {
         f.t.link.script["LinkGetInfo"] = {{1}, {1}, {1}, {0}};
       },
       false, "\nPINFTAG_ENGID information acquisition failure.\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    t.link = test::FakeLink{};
    t.host.link = t.link.Bind();
    t.out.clear();
    t.clock = test::VirtualClock{};
    AddPrinter("SN000001", "R7734100", 1, 0, 1, 0, 1, 0, 1, 0);
    SetImage(settings.table, "table.bin", ImageBytes(Kind::kTable, 1, 1));
    c.setup(*this);

    EXPECT_EQ(RunPrinterUpgrades(t.host, settings), c.ok);
    EXPECT_NE(t.out.find(c.shows), std::string::npos) << t.out;
    EXPECT_EQ(t.clock.sleeps.back(), kDispWait);
  }
}

TEST_F(SequenceTest, MoreThan128PrintersAreAllProcessedInListOrder) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 200; ++i) {
    char serial[9];
    std::snprintf(serial, sizeof serial, "P%07d", i);
    AddPrinter(serial, "R7734100", 1, 0, 1, 0, 1, 0, 1, 0);
    // Serial line, versions and board each select the printer.
    for (int k = 0; k < 3; ++k)
      expected.push_back(std::string("LinkSelectPrinter(") + serial + ")");
  }
  // The library reports two entries more than it filled: they read as zero bytes, which
  // select no printer, and the run ends there.
  t.link.enumResult = 202;
  expected.push_back("LinkSelectPrinter(\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00)");

  EXPECT_FALSE(RunPrinterUpgrades(t.host, settings));

  EXPECT_EQ(SelectCalls(), expected);
  EXPECT_NE(t.out.find("(Number of printers connected = 202)"), std::string::npos);
  EXPECT_NE(t.out.find("\nNo200.  Printer S/N = [P0000200] \n\n"), std::string::npos);
  EXPECT_EQ(t.out.find("No201."), std::string::npos);
}

}  // namespace
}  // namespace vn
