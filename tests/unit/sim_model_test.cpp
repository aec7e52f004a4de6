#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "images.h"
#include "sim.h"
#include "temp_folder.h"

namespace vn {
namespace {

using Bytes = std::vector<unsigned char>;

const unsigned char* Serial(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The USB image goes out with its last 64 bytes first.
Bytes UsbWireOrder(const Bytes& file) {
  Bytes wire(file.end() - 64, file.end());
  wire.insert(wire.end(), file.begin(), file.end() - 64);
  return wire;
}

class SimTest : public ::testing::Test {
 protected:
  void TearDown() override { sim::Reset(); }

  void Load(const std::string& bench, sim::Options options = {}) {
    options.keepJournal = true;
    std::string error;
    ASSERT_TRUE(sim::LoadBench(bench, options, error)) << error;
    link = BindLinkApi(sim::EntryPoints());
  }

  void OpenAndSelect(const unsigned char* serial) {
    LinkError err = 99;
    ASSERT_EQ(link.LinkOpen(-1, &err), 1);
    ASSERT_EQ(err, 0);
    link.LinkSelectPrinter(serial, &err);
    ASSERT_EQ(err, 0);
  }

  // Sends the way the tool does: the same buffer start on every call, `offer` bytes asked each
  // time, until the counts written back add up to the size. Gives the number of blocks.
  int Send(int target, std::uint32_t address, Bytes wire, std::uint32_t offer) {
    LinkError err = 0;
    auto size = static_cast<std::uint32_t>(wire.size());
    EXPECT_EQ(link.LinkBeginDownload(target, address, size, &err), 1);
    int blocks = 0;
    for (std::uint32_t sent = 0; sent < size && blocks < 1000; ++blocks) {
      std::uint32_t count = offer;
      EXPECT_EQ(link.LinkSendBlock(wire.data(), &count, &err), 1);
      sent += count;
    }
    EXPECT_EQ(link.LinkEndDownload(&err), 1);
    return blocks;
  }

  std::array<unsigned char, 267> Engine() {
    std::array<unsigned char, 267> record{};
    std::uint32_t length = 267;
    EXPECT_EQ(link.LinkGetInfo(PINFTAG_ENGID, record.data(), &length), 1);
    return record;
  }

  std::vector<std::string> Violations() const {
    std::vector<std::string> lines;
    for (const std::string& line : sim::JournalLines()) {
      if (line.rfind("VIOLATION", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  LinkApi link;
};

TEST_F(SimTest, CompleteDownloadTakesTheVersionStampedInTheImage) {
  struct Case {
    sim::ImageKind kind;
    const char* version;
    std::uint32_t size;
    int target;
    std::uint32_t address;
    std::uint32_t offer;  // 0: the whole image
    int entry;
    unsigned char major, minor;
    int blocks;  // the printer takes 4096 bytes a call
  } cases[] = {
      {sim::ImageKind::Usb, "01.20", 50000, kTargetUsb, 16384, 4096, 5, 0x01, 0x20, 13},
      {sim::ImageKind::Main, "01.23", 10000, kTargetMain, 0, 0, 1, 0x01, 0x23, 3},
      {sim::ImageKind::Dsp, "02.0a", 61348, kTargetDsp, 0, 0, 3, 0x02, 0x0a, 15},
      // TABLE major 0x105 has no room in the entry's one byte: its low 8 bits stay.
      {sim::ImageKind::Table, "105.12", 100, kTargetTable, 0, 0, 6, 0x05, 0x12, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    test::TempFolder images;
    sim::Options options;
    options.images = images.path().string();
    Load("printer SN000001\ntake 4096\nbusy-after-download 2\nstatus 2205 0\n", options);
    Bytes file;
    std::string error;
    ASSERT_TRUE(sim::MakeImage(c.kind, c.version, c.size, file, error)) << error;
    Bytes wire = c.target == kTargetUsb ? UsbWireOrder(file) : file;

    OpenAndSelect(Serial("SN000001"));
    EXPECT_EQ(Send(c.target, c.address, wire, c.offer != 0 ? c.offer : c.size), c.blocks);
    auto record = Engine();
    EXPECT_EQ(record[1 + 38 * c.entry + 34], c.major);
    EXPECT_EQ(record[1 + 38 * c.entry + 35], c.minor);
    // Saved in file order, so equal to the image file only when every block was read from the
    // printer's own place.
    EXPECT_EQ(ReadAll(images.PathOf("SN000001-1-" + std::to_string(c.target) + ".bin")), file);
    // Busy after the download, then on with its own readings.
    std::vector<PrinterStatus> readings;
    for (int i = 0; i < 4; ++i) {
      PrinterStatus status = 1;
      link.LinkGetStatus(&status);
      readings.push_back(status);
    }
    EXPECT_EQ(readings, (std::vector<PrinterStatus>{2100, 2100, 2205, 0}));
    EXPECT_EQ(Violations(), std::vector<std::string>{});
  }
}

TEST_F(SimTest, StateFileCarriesFlashedVersionsAndDensityToTheNextRun) {
  test::TempFolder folder;
  sim::Options options;
  options.state = folder.PathOf("state.txt");
  // A zero byte inside the serial and inside a name must survive the file.
  const std::string bench = "printer AB\\x00CD123\nentry 6 name=T\\x00X\nprinter SN000002\n";
  const unsigned char zeroSerial[8] = {'A', 'B', 0, 'C', 'D', '1', '2', '3'};
  Load(bench, options);
  OpenAndSelect(zeroSerial);
  Bytes main;
  std::string error;
  ASSERT_TRUE(sim::MakeImage(sim::ImageKind::Main, "01.23", 100, main, error));
  Send(kTargetMain, 0, main, 100);
  std::uint32_t density = 70, length = 4;
  LinkError err = 0;
  EXPECT_EQ(link.LinkSetInfo(PINFTAG_DENSITY_LAMI, reinterpret_cast<unsigned char*>(&density),
                             &length, &err),
            1);
  link.LinkClose();

  sim::Reset();
  Load(bench, options);
  OpenAndSelect(zeroSerial);
  auto record = Engine();
  EXPECT_EQ(record[1 + 38 + 34], 0x01);
  EXPECT_EQ(record[1 + 38 + 35], 0x23);
  EXPECT_EQ(std::memcmp(&record[1 + 38 * 6], "T\0X\0\0\0\0\0", 8), 0);
  std::uint32_t kept = 0;
  length = 4;
  EXPECT_EQ(
      link.LinkGetInfo(PINFTAG_DENSITY_LAMI, reinterpret_cast<unsigned char*>(&kept), &length), 1);
  EXPECT_EQ(kept, 70u);
  link.LinkSelectPrinter(Serial("SN000002"), &err);
  EXPECT_EQ(Engine()[1 + 38 + 34], 0x01);  // untouched printer: still MAIN 01.00
  EXPECT_EQ(Engine()[1 + 38 + 35], 0x00);
}

TEST_F(SimTest, FaultsShapeTheCallsTheyName) {
  Load(
      "printer SN000001\ntake 4096\n"
      "fault LinkSelectPrinter 2 err=2600\n"
      "fault LinkGetInfo 1 result=2\n"
      "fault LinkGetStatus 2+ silent\n"
      "fault LinkSendBlock 1 taken=8192\n"
      "enum-count 200\n");
  LinkError err = 0;
  ASSERT_EQ(link.LinkOpen(-1, &err), 1);

  std::vector<unsigned char> list(8 * 300, 0xEE);
  EXPECT_EQ(link.LinkEnumPrinters(list.data()), 200);
  EXPECT_EQ(std::memcmp(list.data(), "SN000001", 8), 0);
  EXPECT_EQ(list[8], 0xEE);  // only the printers the bench has are written

  struct Select {
    int result;
    LinkError err;
  } selects[3];
  for (Select& s : selects) s.result = link.LinkSelectPrinter(Serial("SN000001"), &s.err);
  EXPECT_EQ(selects[0].err, 0);
  EXPECT_EQ(selects[1].result, 0);  // only the second call fails
  EXPECT_EQ(selects[1].err, 2600);
  EXPECT_EQ(selects[2].err, 0);

  std::array<unsigned char, 267> record{};
  std::uint32_t length = 267;
  EXPECT_EQ(link.LinkGetInfo(PINFTAG_ENGID, record.data(), &length), 2);  // and filled
  EXPECT_EQ(std::memcmp(&record[1], "R7734100", 8), 0);

  PrinterStatus status = 1;
  EXPECT_EQ(link.LinkGetStatus(&status), 1);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 2; ++i) {
    status = 4242;
    link.LinkGetStatus(&status);
    EXPECT_EQ(status, 4242);  // writes nothing from the second call on
  }

  // Reported 8192 but took its 4096: the tool's total reaches the size before the printer
  // has it all, so the image is incomplete and the version stays.
  Bytes main;
  std::string error;
  ASSERT_TRUE(sim::MakeImage(sim::ImageKind::Main, "01.23", 10000, main, error));
  EXPECT_EQ(Send(kTargetMain, 0, main, 10000), 2);
  EXPECT_EQ(sim::JournalLines().back(), "LinkEndDownload -> 1 err=0 received=8192/10000");
  EXPECT_EQ(Engine()[1 + 38 + 35], 0x00);
  EXPECT_EQ(Violations(), std::vector<std::string>{});
}

TEST_F(SimTest, RuleBreaksAreRefusedAndJournalled) {
  struct Case {
    const char* name;
    void (*calls)(const LinkApi& api);
    const char* violation;  // nullptr: harmless
  } cases[] = {
      {"info on a closed link",
       [](const LinkApi& api) {
         unsigned char record[267];
         std::uint32_t length = 267;
         EXPECT_EQ(api.LinkGetInfo(PINFTAG_ENGID, record, &length), 0);
       },
       "VIOLATION LinkGetInfo: the link is not open"},
      {"open twice",
       [](const LinkApi& api) {
         LinkError err = 0;
         api.LinkOpen(-1, &err);
         EXPECT_EQ(api.LinkOpen(-1, &err), 0);
         EXPECT_EQ(err, 1500);
       },
       "VIOLATION LinkOpen: the link is already open"},
      {"block from a moved buffer start",
       [](const LinkApi& api) {
         LinkError err = 0;
         api.LinkOpen(-1, &err);
         api.LinkSelectPrinter(Serial("SN000001"), &err);
         unsigned char image[100] = {};
         api.LinkBeginDownload(kTargetMain, 0, 100, &err);
         std::uint32_t count = 50;
         api.LinkSendBlock(image, &count, &err);
         count = 50;
         EXPECT_EQ(api.LinkSendBlock(image + 50, &count, &err), 0);
       },
       "VIOLATION LinkSendBlock: the buffer start is not the one of the first block"},
      {"USB at the wrong address",
       [](const LinkApi& api) {
         LinkError err = 0;
         api.LinkOpen(-1, &err);
         api.LinkSelectPrinter(Serial("SN000001"), &err);
         EXPECT_EQ(api.LinkBeginDownload(kTargetUsb, 0, 65536, &err), 0);
         EXPECT_EQ(err, 3203);
       },
       "VIOLATION LinkBeginDownload: start address 0 for target 6"},
      {"close and end download with nothing open",
       [](const LinkApi& api) {
         LinkError err = 7;
         EXPECT_EQ(api.LinkEndDownload(&err), 0);
         EXPECT_EQ(err, 0);
         EXPECT_EQ(api.LinkClose(), 0);
         EXPECT_EQ(api.LinkClose(), 0);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Load("printer SN000001\n");
    c.calls(link);
    std::vector<std::string> expected;
    if (c.violation != nullptr) expected.push_back(c.violation);
    EXPECT_EQ(Violations(), expected);
    sim::Reset();
  }
}

TEST_F(SimTest, BadBenchLineNamesItselfAndFailsEveryOpen) {
  struct Case {
    const char* bench;
    const char* error;
  } cases[] = {
      {"density 65\n", "bench:1: density before any printer"},
      {"printer SN000001\n\nentry 7 version=01.00\n",
       "bench:3: entry takes an entry number 0 to 6"},
      {"printer SN0000012\n", "bench:1: a serial is 1 to 8 bytes"},
      {"printer SN1\nprinter SN1\\x00\n", "bench:2: a second printer with this serial"},
      {"printer A\nentry 1 version=1.100\n", "bench:2: version is MM.mm in hexadecimal"},
      {"fault LinkSendBlock 0 err=2600\n", "bench:1: the call number is N or N+ with N from 1"},
      {"fault LinkOpen 1 taken=5\n", "bench:1: taken= is for LinkSendBlock"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bench);
    std::string error;
    EXPECT_FALSE(sim::LoadBench(c.bench, sim::Options{}, error));
    EXPECT_EQ(error, c.error);
    LinkApi bad = BindLinkApi(sim::EntryPoints());
    LinkError err = 0;
    EXPECT_EQ(bad.LinkOpen(-1, &err), 0);
    EXPECT_EQ(err, 1005);
  }
}

TEST(SimImages, RefusesSizesThatCannotHoldTheStampAndBadVersions) {
  struct Case {
    sim::ImageKind kind;
    const char* version;
    std::uint64_t size;
    bool made;
  } cases[] = {
      {sim::ImageKind::Usb, "01.20", 49116, true},   {sim::ImageKind::Usb, "01.20", 49115, false},
      {sim::ImageKind::Dsp, "01.00", 61348, true},   {sim::ImageKind::Dsp, "01.00", 61347, false},
      {sim::ImageKind::Main, "01.23", 30, true},     {sim::ImageKind::Main, "01.23", 29, false},
      {sim::ImageKind::Main, "0G.00", 30, true},     {sim::ImageKind::Main, "1.23", 30, false},
      {sim::ImageKind::Usb, "100.00", 65536, false}, {sim::ImageKind::Table, "10F0.00", 30, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + std::to_string(c.size));
    Bytes image;
    std::string error;
    EXPECT_EQ(sim::MakeImage(c.kind, c.version, c.size, image, error), c.made) << error;
    EXPECT_EQ(image.size(), c.made ? c.size : 0u);
  }
  // The same arguments give the same bytes; the stamp is where the tool reads it.
  Bytes a, b;
  std::string error;
  ASSERT_TRUE(sim::MakeImage(sim::ImageKind::Main, "0a.FF", 200, a, error));
  ASSERT_TRUE(sim::MakeImage(sim::ImageKind::Main, "0a.FF", 200, b, error));
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::string(a.begin() + 26, a.begin() + 30), "0aFF");
}

}  // namespace
}  // namespace vn
