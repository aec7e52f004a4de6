// The whole tool, from the settings file to the final pause, on a scripted link that the input
// drives: which slots are configured and how, the printers' boards, versions, densities and
// status readings, how many printers the enumeration claims (up to 65535 and beyond), how much
// each block send claims to take, and one link call anywhere that fails in any way. Whatever
// happens, the run keeps the rules: no operation on a closed link, LinkClose after every
// LinkOpen, no retry, printers in list order, the final pause once and last, an exit status of
// 1 exactly when a failure was shown, and every byte a printer received is the image file's, the
// USB image with its last 64 bytes first.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/run_driver.h"
#include "fuzz_support.h"
#include "test_host.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Fault = vn::test::FakeLink::Fault;

Bytes Pattern(std::size_t size, unsigned step) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * step + 7);
  return bytes;
}

void Save(const char* name, const Bytes& bytes) {
  vn::fuzz::WriteFile(name, std::string(bytes.begin(), bytes.end()));
}

// What a printer must receive for the file at `path`.
Bytes OnWire(const std::string& path, bool usb) {
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (usb && bytes.size() >= 64) std::rotate(bytes.begin(), bytes.end() - 64, bytes.end());
  return bytes;
}

enum Board { kNewPcb, kOldPcb, kUnknownBoard };

constexpr std::uint16_t kStatuses[] = {0,    2000, 2100, 2205, 2305, 2307, 2309, 2400,
                                       2499, 2500, 2504, 2600, 3000, 3099, 3100, 4399,
                                       4400, 8000, 8299, 8300, 8499, 8500, 8599, 8600};
constexpr std::uint32_t kCounts[] = {0, 1, 63, 64, 100, 4095, 4096, 4097, 61440, 0xFFFFFFFFu};
constexpr Fault kFaults[] = {Fault::kErrorCode, Fault::kZeroResult, Fault::kResultTwo,
                             Fault::kStatusUnwritten};

// Texts by which the tool shows a failure; the readiness wait that ran out shows its last line.
constexpr const char* kFailureMarks[] = {"Error",
                                         "Cannot get the",
                                         "information acquisition failure",
                                         "could not updated",
                                         "file size error",
                                         "Remaining 0 sec.   \r"};

// A configured slot: mostly the good image, now and then a file that is missing, empty, a
// folder, or stamped with a digit that is not one.
std::string SlotPath(FuzzedDataProvider& in, const char* good) {
  switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
    case 1:
    case 2:
    case 3:
      return "None";
    case 8: {
      const char* odd[] = {"missing.bin", "empty.bin", ".", "bad_stamp.bin"};
      return in.PickValueInArray(odd);
    }
    default:
      return good;
  }
}

// Shows what the run did, for the report of a broken invariant.
void Dump(const vn::test::TestHost& t) {
  std::fprintf(stderr, "---- console\n%s\n---- link calls\n", t.out.c_str());
  for (const std::string& call : t.link.calls) std::fprintf(stderr, "%s\n", call.c_str());
  for (const std::string& v : t.link.violations) std::fprintf(stderr, "violation: %s\n", v.c_str());
}

}  // namespace

// A broken invariant of a run shows the run first (the condition is evaluated once).
#define RUN_CHECK(condition)                                                                  \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      Dump(t);                                                                                \
      std::fprintf(stderr, "broken invariant: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vn::fuzz::EnterScratchFolder("vn818-fuzz-upgrade");
  // The good image of each kind, stamped 80.80.
  Bytes usb = Pattern(49152, 13);
  usb[49114] = 0x80;
  usb[49115] = 0x80;
  Save("usb.bin", usb);
  Bytes mainNew = Pattern(4096, 5);
  std::memcpy(&mainNew[26], "8080", 4);
  Save("main_new.bin", mainNew);
  Bytes mainOld = Pattern(3000, 11);
  std::memcpy(&mainOld[26], "8080", 4);
  Save("main_old.bin", mainOld);
  Bytes dsp = Pattern(61440, 3);
  std::memcpy(&dsp[61344], "8080", 4);
  Save("dsp.bin", dsp);
  Bytes table = Pattern(600, 17);
  const unsigned char stamp[] = {0x00, 0x08, 0x00, 0x08};  // 80.80, low part first
  std::memcpy(&table[26], stamp, 4);
  Save("table.bin", table);
  vn::fuzz::WriteFile("empty.bin", "");
  vn::fuzz::WriteFile("bad_stamp.bin", std::string(26, 'x') + "8G80" + std::string(100, 'x'));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);

  const std::uint32_t dispWait = 1000000u + in.ConsumeIntegral<std::uint8_t>();  // unlike any pause
  const std::string usbPath = SlotPath(in, "usb.bin");
  const std::string mainOldPath = SlotPath(in, "main_old.bin");
  const std::string mainNewPath = SlotPath(in, "main_new.bin");
  const std::string dspPath = SlotPath(in, "dsp.bin");
  const std::string tablePath = SlotPath(in, "table.bin");
  std::string ini;
  ini += "[USB]\nFILEPATH=" + usbPath + "\n";
  ini += "[MAIN_OLDPCB]\nFILEPATH=" + mainOldPath + "\n";
  ini += "[MAIN_NEWPCB]\nFILEPATH=" + mainNewPath + "\n";
  ini += "[DSP]\nFILEPATH=" + dspPath + "\n";
  ini += "[TABLE]\nFILEPATH=" + tablePath + "\n";
  ini += "[TIME]\n";
  for (const char* key : {"USB_WAIT_TIME", "MAIN_WAIT_TIME", "DSP_WAIT_TIME", "TABLE_WAIT_TIME"}) {
    ini += std::string(key) + "=" + std::to_string(in.ConsumeIntegralInRange<int>(0, 5000)) + "\n";
  }
  ini += "DISP_WAIT_TIME=" + std::to_string(dispWait) + "\n";
  ini += "[PARAM]\nDENSITY_LAMI=" + std::to_string(in.ConsumeIntegralInRange<int>(0, 200)) + "\n";
  ini += "[Force_FW_Download]\nForceDownlload=" +
         std::to_string(in.ConsumeIntegralInRange<int>(0, 2)) + "\n";
  vn::fuzz::WriteFile("upgrade.ini", ini);

  vn::test::TestHost t;
  std::vector<Board> boards;
  const int printers = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < printers; ++i) {
    vn::test::FakePrinter p;
    std::string serial = "SN00000" + std::to_string(i + 1);
    std::memcpy(p.serial.data(), serial.data(), 8);
    const int pick = in.ConsumeIntegralInRange<int>(0, 7);
    const Board board = pick < 4 ? kNewPcb : pick < 7 ? kOldPcb : kUnknownBoard;
    boards.push_back(board);
    int v[8];
    for (int& x : v) x = in.ConsumeIntegral<std::uint8_t>();
    p.engine = vn::test::MakeEngineRecord(board == kNewPcb   ? "R7734100"
                                          : board == kOldPcb ? "R6518200"
                                                             : "R7734101",
                                          v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    p.density = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 200)
                                 : in.ConsumeIntegral<std::uint32_t>();
    p.statuses.clear();
    for (int n = in.ConsumeIntegralInRange<int>(1, 4); n > 0; --n) {
      p.statuses.push_back(in.ConsumeBool() ? in.PickValueInArray(kStatuses)
                                            : in.ConsumeIntegral<std::uint16_t>());
    }
    t.link.printers.push_back(p);
  }
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
    t.link.enumResult = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 65535)
                                         : in.ConsumeIntegralInRange<int>(0, 0x7FFFFFFF);
  }
  for (int n = in.ConsumeIntegralInRange<int>(0, 6); n > 0; --n) {
    t.link.sendCounts.push_back(in.ConsumeBool() ? in.PickValueInArray(kCounts)
                                                 : in.ConsumeIntegral<std::uint32_t>());
  }
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) t.link.sendCounts.resize(1200, 0);
  if (in.ConsumeBool()) {
    t.link.failCall = in.ConsumeIntegralInRange<std::size_t>(0, 300);
    t.link.failHow = in.PickValueInArray(kFaults);
    // A code of 0 with a failed selection would be a library contradicting itself: the tool
    // takes a LinkError of 0 as the selection's success.
    t.link.failCode = in.ConsumeIntegralInRange<std::uint16_t>(1, 65535);
  }

  std::string program = "vn818fw", name = "upgrade.ini";
  char* argv[] = {program.data(), name.data(), nullptr};
  const int status = vn::RunDriver(t.host, 2, argv);
  const std::string& out = t.out;
  const std::vector<std::string>& calls = t.link.calls;

  bool failureShown = false;
  for (const char* mark : kFailureMarks) failureShown |= out.find(mark) != std::string::npos;
  RUN_CHECK(status == (failureShown ? 1 : 0));
  if (out.find("file size error") != std::string::npos) {
    RUN_CHECK(calls.empty() && t.clock.sleeps.empty());
    return 0;
  }
  RUN_CHECK(!t.clock.sleeps.empty() && t.clock.sleeps.back() == dispWait);
  RUN_CHECK(std::count(t.clock.sleeps.begin(), t.clock.sleeps.end(), dispWait) == 1);
  RUN_CHECK(t.link.violations.empty());

  bool open = false;
  for (const std::string& call : calls) {
    if (call == "LinkOpen") {
      RUN_CHECK(!open);
      open = true;
    } else if (call == "LinkClose") {
      open = false;
    }
  }
  RUN_CHECK(!open);

  // Printers in list order: a selection never goes back to an earlier entry.
  int last = 0;
  for (const std::string& call : calls) {
    if (call.rfind("LinkSelectPrinter(", 0) != 0) continue;
    int index = call.rfind("LinkSelectPrinter(SN00000", 0) == 0 ? call[25] - '0' : 1000;
    RUN_CHECK(index >= last);
    last = index;
  }

  // Each image goes to each printer at most once; a refused begin ends the run.
  const auto& downloads = t.link.downloads;
  const auto begins = std::count_if(calls.begin(), calls.end(), [](const std::string& c) {
    return c.rfind("LinkBeginDownload", 0) == 0;
  });
  RUN_CHECK(begins - static_cast<long>(downloads.size()) == 0 ||
            begins - static_cast<long>(downloads.size()) == 1);
  std::set<std::pair<int, int>> sent;
  for (std::size_t i = 0; i < downloads.size(); ++i) {
    const int target = t.link.downloadTargets[i];
    const int printer = t.link.downloadPrinters[i];
    RUN_CHECK(printer >= 0 && printer < printers);
    RUN_CHECK(sent.insert({printer, target}).second);
    const Board board = boards[static_cast<std::size_t>(printer)];
    std::string path;
    switch (target) {
      case 6:
        path = usbPath;
        break;
      case 0:
        path = dspPath;
        break;
      case 2:
        path = tablePath;
        break;
      case 1:
        RUN_CHECK(board != kUnknownBoard);
        path = board == kOldPcb ? mainOldPath : mainNewPath;
        break;
      default:
        RUN_CHECK(!"a download target the tool never uses");
    }
    const Bytes wire = OnWire(path, target == 6);
    RUN_CHECK(downloads[i].size() <= wire.size());
    RUN_CHECK(std::equal(downloads[i].begin(), downloads[i].end(), wire.begin()));
  }
  return 0;
}
