// Every link call of a whole run, failed in turn in every way it can fail.
//
// A two-printer run (a new-PCB printer and an old-PCB one, both older than all four images, so
// every image goes to both) is run once without a fault; its call log gives the failure points.
// The run is then repeated with call N failing, for every N and every way the call can fail,
// and the result is held against what the tool must do at that point: the console shows the
// fault-free output up to the call, then the error line of that operation, then either nothing
// (the run ends) or the fault-free output of the steps that still run; nothing is retried, every
// LinkOpen gets its LinkClose, the final pause comes once and the exit status says whether the
// run met a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "temp_folder.h"
#include "test_host.h"

namespace vn {
namespace {

using Fault = test::FakeLink::Fault;

constexpr std::uint32_t kDispWait = 4321;  // unlike any pause of the tool's own
constexpr LinkError kCode = 2600;
const char kIni[] =
    "[USB]\r\nFILEPATH=usb.bin\r\n"
    "[MAIN_OLDPCB]\r\nFILEPATH=main_old.bin\r\n"
    "[MAIN_NEWPCB]\r\nFILEPATH=main_new.bin\r\n"
    "[DSP]\r\nFILEPATH=dsp.bin\r\n"
    "[TABLE]\r\nFILEPATH=table.bin\r\n"
    "[TIME]\r\nUSB_WAIT_TIME=1500\r\nMAIN_WAIT_TIME=1000\r\nDSP_WAIT_TIME=500\r\n"
    "TABLE_WAIT_TIME=0\r\nDISP_WAIT_TIME=4321\r\n"
    "[PARAM]\r\nDENSITY_LAMI=70\r\n";

// The link transactions of one printer, in the order the sequence makes them.
enum Phase { kShow, kVersions, kUsb, kBoard, kMain, kDsp, kTable, kWait, kDensity, kReport };
constexpr int kPhases = 10;
constexpr const char* kPhaseNames[] = {"show",     "versions",   "USB send", "board",   "MAIN send",
                                       "DSP send", "TABLE send", "wait",     "density", "report"};

// How the run must go on after the fault.
enum class Then {
  kSame,         // the fault is one the tool rightly ignores: the fault-free run
  kEndRun,       // the error text, then only the final pause
  kResume,       // the error text, then the fault-free output from the step after
  kNoPrinters,   // an enumeration of none
  kPendingOnce,  // an unwritten status is not ready: one countdown line more
};

struct Expect {
  Then then;
  std::string text;
  Phase resumeAfter = kReport;  // kResume: the fault-free run goes on after this phase
};

struct RunRecord {
  std::string out;
  // For each console write: how many link calls had been made, and where the output ended.
  std::vector<std::pair<std::size_t, std::size_t>> writes;
  std::vector<std::string> calls;
  std::vector<std::string> violations;
  std::vector<std::uint32_t> sleeps;
  int status = -1;

  // How far the output had come while at most `made` calls had been made.
  std::size_t OutputBefore(std::size_t made) const {
    std::size_t end = 0;
    for (const auto& [calls_made, at] : writes) {
      if (calls_made > made) break;
      end = at;
    }
    return end;
  }
};

std::string Op(const std::string& call) {
  return call.substr(0, call.find('('));
}

std::string Line(const char* head, LinkError code) {
  std::string text = code == kCode ? "USB communication error" : "Unknown error";
  return head + text + "(" + std::to_string(code) + ")\n";
}
std::string LinkLine(LinkError code) {
  return Line("Error\x81\x46 ", code);
}
std::string PlainLine(LinkError code) {
  return Line("Error: ", code);
}

// What the tool must do when `op` fails `how` within `phase` (-1: the enumeration).
Expect Oracle(int phase, const std::string& op, Fault how, bool oldPcb) {
  const LinkError code = how == Fault::kErrorCode ? kCode : 0;
  if (op == "LinkClose" || op == "LinkEndDownload") return {Then::kSame, ""};
  if (op == "LinkSelectPrinter" && how == Fault::kZeroResult) return {Then::kSame, ""};
  if (op == "LinkGetStatus") {
    return {how == Fault::kStatusUnwritten ? Then::kPendingOnce : Then::kSame, ""};
  }
  if (op == "LinkEnumPrinters") return {Then::kNoPrinters, ""};
  if (phase < 0) return {Then::kEndRun, LinkLine(code)};
  const std::string versionsFailed = "Cannot get the F/W verision from printer. (";
  const std::string noBoardRecord = "\nError:Can't get the printer firmware information...\n";
  const std::string engidFailed = "PINFTAG_ENGID information acquisition failure.\n";
  if (op == "LinkOpen" || op == "LinkSelectPrinter") {
    switch (phase) {
      case kVersions:
        return {Then::kEndRun,
                LinkLine(code) + versionsFailed + (op == "LinkOpen" ? "1" : "2") + ")\n"};
      case kWait:
        return {Then::kResume, PlainLine(code), kDensity};
      case kDensity:
        return {Then::kResume, PlainLine(code), kDensity};
      case kReport:
        return {Then::kResume, LinkLine(code), kReport};
      default:
        return {Then::kEndRun, LinkLine(code)};
    }
  }
  if (op == "LinkGetInfo") {
    const bool two = how == Fault::kResultTwo;  // counts as success where any non-zero does
    switch (phase) {
      case kVersions:
        if (two) return {Then::kSame, ""};
        return {Then::kEndRun, engidFailed + versionsFailed + "3)\n"};
      case kBoard:
        return {Then::kEndRun, noBoardRecord};
      case kDensity:
        return {Then::kResume, "Checking Density Lami Error. \n\n", kDensity};
      case kReport:
        if (two) return {Then::kSame, ""};
        return {Then::kResume, engidFailed, kReport};
      default:
        break;
    }
  }
  if (op == "LinkSetInfo") {
    return {Then::kResume,
            "Density Lami could not updated (Error=" + std::to_string(code) + ")\n\n", kDensity};
  }
  if (op == "LinkBeginDownload" && phase == kMain) {
    return {Then::kEndRun,
            Line(oldPcb ? "Error (Old PCB)\x81\x46 " : "Error (New PCB)\x81\x46 ", code)};
  }
  if (op == "LinkBeginDownload" || op == "LinkSendBlock") return {Then::kEndRun, LinkLine(code)};
  ADD_FAILURE() << "no rule for " << op << " in phase " << phase;
  return {Then::kSame, ""};
}

// The ways each operation can fail.
std::vector<Fault> FaultsOf(const std::string& op) {
  std::vector<Fault> faults{Fault::kZeroResult};
  if (op == "LinkOpen" || op == "LinkSelectPrinter" || op == "LinkSetInfo" ||
      op == "LinkBeginDownload" || op == "LinkSendBlock" || op == "LinkEndDownload") {
    faults.push_back(Fault::kErrorCode);
  }
  if (op == "LinkGetInfo" || op == "LinkSetInfo") faults.push_back(Fault::kResultTwo);
  if (op == "LinkGetStatus") faults.push_back(Fault::kStatusUnwritten);
  return faults;
}

const char* FaultName(Fault how) {
  switch (how) {
    case Fault::kErrorCode:
      return "result 0 with code 2600";
    case Fault::kZeroResult:
      return "result 0, no code";
    case Fault::kResultTwo:
      return "result 2";
    case Fault::kStatusUnwritten:
      return "status never written";
    default:
      return "none";
  }
}

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * seed + 11);
  return bytes;
}

class FailurePoints : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<test::TempFolder>();
    auto write = [](const char* name, const std::vector<unsigned char>& bytes) {
      folder_->Write(name, std::string(bytes.begin(), bytes.end()));
    };
    folder_->Write("upgrade.ini", kIni);
    std::vector<unsigned char> usb = Pattern(49152, 7);  // twelve blocks of 4096
    usb[49114] = 0x01;
    usb[49115] = 0x00;
    write("usb.bin", usb);
    for (const char* name : {"main_new.bin", "main_old.bin"}) {
      std::vector<unsigned char> main = Pattern(300, 3);
      std::memcpy(&main[26], "0100", 4);
      write(name, main);
    }
    std::vector<unsigned char> dsp = Pattern(61440, 5);
    std::memcpy(&dsp[61344], "0100", 4);
    write("dsp.bin", dsp);
    std::vector<unsigned char> table = Pattern(200, 9);
    const unsigned char stamp[] = {0x01, 0x00, 0x00, 0x00};  // 01.00, low part first
    std::memcpy(&table[26], stamp, 4);
    write("table.bin", table);
  }
  static void TearDownTestSuite() { folder_.reset(); }
  void SetUp() override { folder_->Enter(); }

  static RunRecord RunWith(std::size_t failCall, Fault how) {
    test::TestHost t;
    for (const char* serial : {"SN000001", "SN000002"}) {
      test::FakePrinter printer;
      std::memcpy(printer.serial.data(), serial, 8);
      const char* board = serial[7] == '1' ? "R7734100" : "R6518200";
      printer.engine = test::MakeEngineRecord(board, 0, 1, 0, 1, 0, 1, 0, 1);
      printer.density = 65;
      printer.statuses = {0};
      t.link.printers.push_back(printer);
    }
    t.link.failCall = failCall;
    t.link.failHow = how;
    RunRecord run;
    t.host.write = [&run, &t](std::string_view text) {
      run.out.append(text);
      run.writes.emplace_back(t.link.calls.size(), run.out.size());
    };
    std::string program = "vn818fw", name = "upgrade.ini";
    char* argv[] = {program.data(), name.data(), nullptr};
    run.status = RunDriver(t.host, 2, argv);
    run.calls = t.link.calls;
    run.violations = t.link.violations;
    run.sleeps = t.clock.sleeps;
    return run;
  }

  static std::unique_ptr<test::TempFolder> folder_;
};

std::unique_ptr<test::TempFolder> FailurePoints::folder_;

// Every LinkOpen, also a failed one, is followed by a LinkClose before the next LinkOpen.
bool EveryOpenClosed(const std::vector<std::string>& calls) {
  bool pending = false;
  for (const std::string& call : calls) {
    if (call == "LinkOpen") {
      if (pending) return false;
      pending = true;
    } else if (call == "LinkClose") {
      pending = false;
    }
  }
  return !pending;
}

TEST_F(FailurePoints, EveryLinkCallFailedInEveryWay) {
  const RunRecord clean = RunWith(static_cast<std::size_t>(-1), Fault::kNone);
  ASSERT_EQ(clean.status, 0) << clean.out;
  ASSERT_TRUE(clean.violations.empty());

  // Each LinkOpen starts a transaction: the enumeration, then ten for each printer.
  std::vector<int> phaseOf(clean.calls.size());  // -1: enumeration; else printer * 10 + phase
  std::vector<std::size_t> lastCallOf;           // the same index: the transaction's last call
  int transaction = -1;
  for (std::size_t i = 0; i < clean.calls.size(); ++i) {
    if (clean.calls[i] == "LinkOpen") {
      ++transaction;
      lastCallOf.push_back(i);
    }
    phaseOf[i] = transaction - 1;
    lastCallOf.back() = i;
  }
  ASSERT_EQ(transaction, 2 * kPhases) << "the fixture must reach every step of both printers";
  ASSERT_NE(clean.out.find("Density Lami was updated to 70"), std::string::npos);

  int pointsRun = 0;
  for (std::size_t n = 0; n < clean.calls.size(); ++n) {
    const std::string op = Op(clean.calls[n]);
    const int where = phaseOf[n];
    const int phase = where < 0 ? -1 : where % kPhases;
    const int printer = where < 0 ? 0 : where / kPhases;
    for (Fault how : FaultsOf(op)) {
      SCOPED_TRACE("call " + std::to_string(n) + " " + clean.calls[n] + " in " +
                   (phase < 0 ? "enumeration" : kPhaseNames[phase]) + " of printer " +
                   std::to_string(printer + 1) + ", " + FaultName(how));
      const Expect expect = Oracle(phase, op, how, printer == 1);
      const RunRecord run = RunWith(n, how);
      ++pointsRun;

      EXPECT_TRUE(run.violations.empty()) << run.violations.front();
      EXPECT_TRUE(EveryOpenClosed(run.calls));
      ASSERT_GT(run.calls.size(), n);
      EXPECT_TRUE(std::equal(clean.calls.begin(), clean.calls.begin() + n + 1, run.calls.begin()))
          << "the course before the failure differs";
      ASSERT_FALSE(run.sleeps.empty());
      EXPECT_EQ(run.sleeps.back(), kDispWait);
      EXPECT_EQ(std::count(run.sleeps.begin(), run.sleeps.end(), kDispWait), 1);

      const std::string prefix = clean.out.substr(0, clean.OutputBefore(n));
      std::vector<std::string> after(run.calls.begin() + n + 1, run.calls.end());
      switch (expect.then) {
        case Then::kSame:
          EXPECT_EQ(run.out, clean.out);
          EXPECT_EQ(run.calls, clean.calls);
          EXPECT_EQ(run.status, 0);
          break;
        case Then::kEndRun:
          EXPECT_EQ(run.out, prefix + expect.text);
          // Only the endings of the failed step follow: no retry, no later printer.
          for (const std::string& call : after) {
            EXPECT_TRUE(call == "LinkClose" || call == "LinkEndDownload") << call;
          }
          EXPECT_EQ(run.status, 1);
          break;
        case Then::kResume: {
          const std::size_t resume = lastCallOf[1 + printer * kPhases + expect.resumeAfter];
          EXPECT_EQ(run.out, prefix + expect.text + clean.out.substr(clean.OutputBefore(resume)));
          std::vector<std::string> rest{"LinkClose"};
          rest.insert(rest.end(), clean.calls.begin() + resume + 1, clean.calls.end());
          EXPECT_EQ(after, rest);
          EXPECT_EQ(run.status, 1);
          break;
        }
        case Then::kNoPrinters:
          EXPECT_EQ(run.out, prefix +
                                 "\nStart download.(Number of printers connected = 0)\n"
                                 "\nDetected 0 printer(s)\nStart downloading...\n");
          EXPECT_EQ(after, std::vector<std::string>{"LinkClose"});
          EXPECT_EQ(run.status, 0);
          break;
        case Then::kPendingOnce: {
          EXPECT_EQ(run.out, prefix + "Printer Status Waiting. Remaining 119 sec.   \r" +
                                 clean.out.substr(clean.OutputBefore(n)));
          std::vector<std::string> calls = clean.calls;
          calls.insert(calls.begin() + n + 1, "LinkGetStatus");
          EXPECT_EQ(run.calls, calls);
          EXPECT_EQ(run.status, 0);
          break;
        }
      }
      if (HasFailure()) return;  // one broken point tells the story; the rest would repeat it
    }
  }
  RecordProperty("failure_points", pointsRun);
  std::printf("[          ] %d failure points over %zu link calls\n", pointsRun,
              clean.calls.size());
}

}  // namespace
}  // namespace vn
