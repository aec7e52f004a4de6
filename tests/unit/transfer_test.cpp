#include "images/transfer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_host.h"

namespace vn {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;
using Sender = int (*)(const Host&, const UpgradeSettings&, const unsigned char*);

const unsigned char kSerial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};
const std::string kColon = "\x81\x46";

// One kind of image as the printer and the console see it.
struct Kind {
  const char* name;
  ImageSlot UpgradeSettings::*slot;
  Sender send;
  std::string begin;      // the LinkBeginDownload call without its size
  std::uint32_t request;  // bytes offered per call; 0: the whole size
  bool wireOrder;         // last 64 bytes first
  std::string notFound, memoryFull, unreadable, beginError;
};

const Kind kKinds[] = {
    {"main-new", &UpgradeSettings::mainNewPcb,
     [](const Host& h, const UpgradeSettings& s, const unsigned char* sn) {
       return SendMainImage(h, s, sn, 0);
     },
     "LinkBeginDownload(1,0,", 0, false,
     "Error" + kColon + " MAIN DownLoad file (New PCB) is not found.\n",
     "Error" + kColon + " MAIN Memory Full Error (New PCB)\n",
     "Error" + kColon + " MAIN DownLoad file (New PCB) could not be read.\n",
     "Error (New PCB)" + kColon + " Flash download mode error(3201)\n"},
    {"main-old", &UpgradeSettings::mainOldPcb,
     [](const Host& h, const UpgradeSettings& s, const unsigned char* sn) {
       return SendMainImage(h, s, sn, 0x80);  // any value but 0 means the old board
     },
     "LinkBeginDownload(1,0,", 0, false,
     "Error" + kColon + " MAIN DownLoad file (Old PCB) is not found.\n",
     "Error" + kColon + " MAIN Memory Full Error (Old PCB)\n",
     "Error" + kColon + " MAIN DownLoad file (Old PCB) could not be read.\n",
     "Error (Old PCB)" + kColon + " Flash download mode error(3201)\n"},
    {"dsp", &UpgradeSettings::dsp, SendDspImage, "LinkBeginDownload(0,0,", 0, false,
     "Error" + kColon + " DSP DownLoad file is not found.\n",
     "Error" + kColon + " DSP Memory Full Error\n",
     "Error" + kColon + " DSP DownLoad file could not be read.\n",
     "Error" + kColon + " Flash download mode error(3201)\n"},
    {"table", &UpgradeSettings::table, SendTableImage, "LinkBeginDownload(2,0,", 0, false,
     "Error" + kColon + " TABLE DownLoad file is not found.\n",
     "Error" + kColon + " TABLE Memory Full Error\n",
     "Error" + kColon + " TABLE DownLoad file could not be read.\n",
     "Error" + kColon + " Flash download mode error(3201)\n"},
    {"usb", &UpgradeSettings::usb, SendUsbImage, "LinkBeginDownload(6,16384,", 4096, true,
     "Error" + kColon + " USB DownLoad file is not found.\n",
     "Error" + kColon + " USB Memory Full Error 1.\n",
     "Error" + kColon + " USB DownLoad file could not be read.\n",
     "Error" + kColon + " Flash download mode error(3201)\n"},
};

const Kind& KindNamed(const std::string& name) {
  for (const Kind& k : kKinds) {
    if (name == k.name) return k;
  }
  throw std::logic_error("no kind " + name);
}

Bytes Counting(std::size_t length) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

// The bytes the printer should receive for `file`.
Bytes OnWire(const Kind& kind, const Bytes& file) {
  if (!kind.wireOrder) return file;
  Bytes wire(file.end() - 64, file.end());
  wire.insert(wire.end(), file.begin(), file.end() - 64);
  return wire;
}

std::string SentLine(unsigned long sent) {
  char line[64];
  std::snprintf(line, sizeof line, "Sent %12lu byte(s) \r", sent);
  return line;
}

// A printer on the fake link, and the kind's slot pointing at a temporary image file (removed
// again at the end). `size` is what the driver measured; it may differ from the file.
class Transfer {
 public:
  Transfer(const Kind& kind, const Bytes* file, std::uint32_t size) : kind_(kind) {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    path_ = ::testing::TempDir() + "vn818_transfer_" + test + "_" + kind.name + ".bin";
    std::remove(path_.c_str());
    if (file != nullptr) {
      std::FILE* f = std::fopen(path_.c_str(), "wb");
      if (f == nullptr) {
        ADD_FAILURE() << "cannot create " << path_;
      } else {
        if (!file->empty()) std::fwrite(file->data(), 1, file->size(), f);
        std::fclose(f);
      }
    }
    test::FakePrinter printer;
    std::memcpy(printer.serial.data(), kSerial, 8);
    t.link.printers.push_back(printer);
    std::memset(&settings, 0, sizeof settings);
    ImageSlot& slot = settings.*kind.slot;
    std::snprintf(slot.path, sizeof slot.path, "%s", path_.c_str());
    slot.size = size;
  }
  ~Transfer() { std::remove(path_.c_str()); }

  int Send() { return kind_.send(t.host, settings, kSerial); }
  std::string BeginCall(std::uint32_t size) const {
    return kind_.begin + std::to_string(size) + ")";
  }
  std::string SendCall(std::uint32_t size) const {
    return "LinkSendBlock(" + std::to_string(kind_.request ? kind_.request : size) + ")";
  }

  test::TestHost t;
  UpgradeSettings settings;

 private:
  const Kind& kind_;
  std::string path_;
};

TEST(SendImage, WholeImageInFileOrderOrUsbWithItsTailFirst) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    Bytes file = Counting(1000);
    Transfer x(kind, &file, 1000);
    EXPECT_EQ(x.Send(), 1);
    EXPECT_EQ(x.t.out, SentLine(kind.request ? kind.request : 1000));
    EXPECT_EQ(x.t.link.calls, (Strings{"LinkOpen", "LinkSelectPrinter(SN000001)", x.BeginCall(1000),
                                       x.SendCall(1000), "LinkEndDownload", "LinkClose"}));
    ASSERT_EQ(x.t.link.downloads.size(), 1u);
    EXPECT_EQ(x.t.link.downloads[0], OnWire(kind, file));
    EXPECT_TRUE(x.t.link.violations.empty());
  }
}

TEST(SendImage, UsbImageGoesOutWithItsLast64BytesFirst) {
  Bytes file(100);
  for (int i = 0; i < 100; ++i) file[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  Transfer x(KindNamed("usb"), &file, 100);
  EXPECT_EQ(x.Send(), 1);
  Bytes expected;
  for (int i = 36; i < 100; ++i) expected.push_back(static_cast<unsigned char>(i));
  for (int i = 0; i < 36; ++i) expected.push_back(static_cast<unsigned char>(i));
  ASSERT_EQ(x.t.link.downloads.size(), 1u);
  EXPECT_EQ(x.t.link.downloads[0], expected);
}

TEST(SendImage, UsbRequestsOf4096UntilTheCountsReachTheSize) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> counts;
    std::vector<unsigned long> shown;
  } cases[] = {
      {"exact", {4096, 4096, 1808}, {4096, 8192, 10000}},
      {"over", {4096, 4096, 4096}, {4096, 8192, 12288}},
      // Shown without sign; the total cannot wrap back below the size and keep the loop going.
      {"huge", {4096, 0xFFFFF000u}, {4096, 4294967295ul}},
      {"past sign bit", {0x80000000u}, {2147483648ul}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = Counting(10000);
    Transfer x(KindNamed("usb"), &file, 10000);
    x.t.link.sendCounts.assign(c.counts.begin(), c.counts.end());
    EXPECT_EQ(x.Send(), 1);
    std::string out;
    for (unsigned long sent : c.shown) out += SentLine(sent);
    EXPECT_EQ(x.t.out, out);
    Strings calls{"LinkOpen", "LinkSelectPrinter(SN000001)", "LinkBeginDownload(6,16384,10000)"};
    calls.insert(calls.end(), c.counts.size(), "LinkSendBlock(4096)");
    calls.insert(calls.end(), {"LinkEndDownload", "LinkClose"});
    EXPECT_EQ(x.t.link.calls, calls);
    EXPECT_TRUE(x.t.link.sendCounts.empty());
  }
  Bytes file = Counting(10000);
  Transfer x(KindNamed("usb"), &file, 10000);
  x.t.link.sendCounts = {4096, 4096, 1808};
  x.Send();
  ASSERT_EQ(x.t.link.downloads.size(), 1u);
  EXPECT_EQ(x.t.link.downloads[0], OnWire(KindNamed("usb"), file));
}

TEST(SendImage, RefusedBeforeAnyLinkCall) {
  Bytes shrunk = Counting(60);  // measured at 100
  Bytes full = Counting(100);
  Bytes empty;
  Bytes tiny = Counting(63);
  struct Case {
    const char* what;
    const Bytes* file;  // null: no such file
    std::uint32_t size;
    std::string Kind::*text;  // for every kind
    const char* onlyKind;     // with `usbText` for a USB-only case
    std::string usbText;
  } cases[] = {
      {"missing", nullptr, 100, &Kind::notFound, nullptr, ""},
      {"size 0", &empty, 0, &Kind::memoryFull, nullptr, ""},
      {"size 0 of a full file", &full, 0, &Kind::memoryFull, nullptr, ""},
      {"shrunk since measured", &shrunk, 100, &Kind::unreadable, nullptr, ""},
      {"usb too short", &tiny, 63, nullptr, "usb",
       "Error" + kColon + " USB DownLoad file is too short.\n"},
      {"usb of one byte", &tiny, 1, nullptr, "usb",
       "Error" + kColon + " USB DownLoad file is too short.\n"},
  };
  for (const Case& c : cases) {
    for (const Kind& kind : kKinds) {
      if (c.onlyKind != nullptr && c.onlyKind != std::string(kind.name)) continue;
      SCOPED_TRACE(std::string(c.what) + " / " + kind.name);
      Transfer x(kind, c.file, c.size);
      EXPECT_EQ(x.Send(), 0);
      EXPECT_EQ(x.t.out, c.text != nullptr ? kind.*c.text : c.usbText);
      EXPECT_TRUE(x.t.link.calls.empty());
    }
  }
}

TEST(SendImage, EveryLinkFailureEndsTheDownloadAndClosesTheLink) {
  for (const Kind& kind : kKinds) {
    const std::string open = "LinkOpen";
    const std::string select = "LinkSelectPrinter(SN000001)";
    Bytes file = Counting(100);
    const std::string begin = kind.begin + "100)";
    const std::string send =
        "LinkSendBlock(" + std::to_string(kind.request ? kind.request : 100) + ")";
    struct Case {
      const char* op;
      test::Reply reply;
      std::string out;
      Strings calls;  // before the ending
    } cases[] = {
        {"LinkOpen", {0, 1004}, "Error" + kColon + " Cannot open the USB port(1004)\n", {open}},
        {"LinkSelectPrinter",
         {1, 1500},  // its result is not looked at, only the error
         "Error" + kColon + " Printer is used by another process(1500)\n",
         {open, select}},
        {"LinkBeginDownload", {0, 3201}, kind.beginError, {open, select, begin}},
        {"LinkSendBlock",
         {0, 2600},
         "Error" + kColon + " USB communication error(2600)\n",
         {open, select, begin, send}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.name) + " / " + c.op);
      Transfer x(kind, &file, 100);
      x.t.link.script[c.op] = {c.reply};
      EXPECT_EQ(x.Send(), 0);
      EXPECT_EQ(x.t.out, c.out);
      Strings calls = c.calls;
      calls.insert(calls.end(), {"LinkEndDownload", "LinkClose"});
      EXPECT_EQ(x.t.link.calls, calls);
      EXPECT_TRUE(x.t.link.violations.empty());
    }
  }
}

TEST(SendImage, SendFailingAfterProgressEndsWithoutRetry) {
  Bytes file = Counting(10000);
  Transfer x(KindNamed("usb"), &file, 10000);
  x.t.link.sendCounts = {4096};
  x.t.link.script["LinkSendBlock"] = {{1, 0}, {0, 2600}};
  EXPECT_EQ(x.Send(), 0);
  EXPECT_EQ(x.t.out, SentLine(4096) + "Error" + kColon + " USB communication error(2600)\n");
  EXPECT_EQ(x.t.link.CountCalls("LinkSendBlock"), 2);
  EXPECT_EQ(x.t.link.calls.back(), "LinkClose");
}

TEST(SendImage, PrinterThatTakesNothingStopsTheTransfer) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> counts;
    int calls;
    int result;
  } cases[] = {
      {"for ever", std::vector<std::uint32_t>(1500, 0), 1000, 0},
      // Only zeros in a row count: the run starts again when something is taken.
      {"with pauses", {}, 2000, 1},
  };
  cases[1].counts.assign(999, 0);
  cases[1].counts.push_back(50);
  cases[1].counts.insert(cases[1].counts.end(), 999, 0);
  cases[1].counts.push_back(50);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = Counting(100);
    Transfer x(KindNamed("dsp"), &file, 100);
    x.t.link.sendCounts.assign(c.counts.begin(), c.counts.end());
    EXPECT_EQ(x.Send(), c.result);
    std::string out;
    unsigned long sent = 0;
    for (int i = 0; i < c.calls; ++i) {
      out += SentLine(sent += c.counts[static_cast<std::size_t>(i)]);
    }
    if (c.result == 0) out += "Error" + kColon + " The printer stopped taking data.\n";
    EXPECT_EQ(x.t.out, out);
    EXPECT_EQ(x.t.link.CountCalls("LinkSendBlock"), c.calls);
    ASSERT_GE(x.t.link.calls.size(), 2u);
    EXPECT_EQ(x.t.link.calls[x.t.link.calls.size() - 2], "LinkEndDownload");
    EXPECT_EQ(x.t.link.calls.back(), "LinkClose");
  }
}

TEST(ImageBuffer, ZeroFilledAndNoneForZeroBytes) {
  EXPECT_EQ(AllocImageBuffer(0), nullptr);
  auto* block = static_cast<unsigned char*>(AllocImageBuffer(4096));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
  FreeImageBuffer(block);
}

}  // namespace
}  // namespace vn
