// Test doubles for the host seams: a scripted printer link that logs every call, a virtual
// clock that counts sleeps instead of sleeping, and a captured console.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "host.h"

namespace vn::test {

// One scripted reply: what the call returns and the LinkError it writes (where it has one).
struct Reply {
  int result = 1;
  LinkError err = 0;
};

// A printer as the fake link shows it.
struct FakePrinter {
  std::array<unsigned char, 8> serial{};
  std::array<unsigned char, 267> engine{};  // what LinkGetInfo(PINFTAG_ENGID) copies out
  std::uint32_t density = 70;               // PINFTAG_DENSITY_LAMI
  std::deque<PrinterStatus> statuses;       // successive LinkGetStatus readings; the last repeats
};

// Builds an engine record: board name in entry 0 and the (major, minor) of MAIN, DSP, USB and
// TABLE in entries 1, 3, 5 and 6.
std::array<unsigned char, 267> MakeEngineRecord(const char* board, int mainMajor, int mainMinor,
                                                int dspMajor, int dspMinor, int usbMajor,
                                                int usbMinor, int tableMajor, int tableMinor);

class FakeLink {
 public:
  std::vector<FakePrinter> printers;
  // Every call in order, e.g. "LinkOpen", "LinkSelectPrinter(SN000001)", "LinkGetInfo(3)",
  // "LinkBeginDownload(1,0,1000)", "LinkSendBlock(4096)", "LinkEndDownload", "LinkClose".
  std::vector<std::string> calls;
  // Rules a real library would enforce, broken by the caller (e.g. "LinkGetInfo on a closed
  // link", "LinkOpen while open"). Tests expect this to stay empty.
  std::vector<std::string> violations;
  // Scripted replies per operation name, consumed one per call; an empty queue means the
  // operation behaves normally.
  std::map<std::string, std::deque<Reply>> script;
  // Counts LinkSendBlock reports taken, consumed one per call; when empty it takes all offered.
  std::deque<std::uint32_t> sendCounts;
  // When set, LinkEnumPrinters reports this count instead of printers.size().
  int enumResult = -1;
  // Bytes of each completed or attempted download, in the order received, with its target and
  // the index in `printers` of the printer it went to.
  std::vector<std::vector<unsigned char>> downloads;
  std::vector<int> downloadTargets;
  std::vector<int> downloadPrinters;
  bool open = false;
  int selected = -1;

  // One call, counted over every operation from 0 (its index in `calls`), can be made to fail.
  // kErrorCode: result 0 and `failCode` written (where the operation takes a LinkError);
  // kZeroResult: result 0, no code written; kResultTwo: LinkGetInfo/LinkSetInfo do their work
  // and return 2; kStatusUnwritten: LinkGetStatus returns 1 and writes no status. Operations
  // whose result means nothing (LinkSelectPrinter, LinkClose, LinkGetStatus, LinkEndDownload)
  // still do their work when they return 0.
  enum class Fault { kNone, kErrorCode, kZeroResult, kResultTwo, kStatusUnwritten };
  std::size_t failCall = static_cast<std::size_t>(-1);
  Fault failHow = Fault::kNone;
  LinkError failCode = 2600;

  LinkApi Bind();
  // Calls whose name starts with `op`.
  int CountCalls(const std::string& op) const;

 private:
  bool Scripted(const std::string& op, Reply& reply);
  // The fault for the call just logged.
  Fault FaultNow() const { return calls.size() - 1 == failCall ? failHow : Fault::kNone; }
  void Require(bool condition, const std::string& what);
  bool inDownload_ = false;
  std::uint32_t downloadSize_ = 0;
};

class VirtualClock {
 public:
  std::uint32_t now = 0;
  // Added to `now` after every tick reading (0: time moves only by sleeping).
  std::uint32_t stepPerReading = 0;
  std::vector<std::uint32_t> sleeps;  // every sleep asked for, in order
  // Readings returned in order before the clock falls back to `now` (sleeps still move `now`).
  std::deque<std::uint32_t> tickScript;
  std::uint32_t Tick() {
    if (!tickScript.empty()) {
      std::uint32_t scripted = tickScript.front();
      tickScript.pop_front();
      return scripted;
    }
    std::uint32_t t = now;
    now += stepPerReading;
    return t;
  }
  void Sleep(std::uint32_t ms) {
    sleeps.push_back(ms);
    now += ms;
  }
};

// A host bound to the fakes above; `out` collects the console bytes.
struct TestHost {
  FakeLink link;
  VirtualClock clock;
  std::string out;
  bool nt = true;
  int clears = 0;
  bool linkLoads = true;       // what loadLinkLibrary reports
  std::string linkLoadReason;  // and its reason when it fails
  Host host;

  TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;
};

}  // namespace vn::test
