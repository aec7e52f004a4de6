#include "sim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "bench.h"
#include "images.h"

namespace vn::sim {

namespace {

// The codes the simulated printers answer with (texts as in the tool's catalogue).
constexpr LinkError kErrMemory = 1000;     // Memory Full
constexpr LinkError kErrOpenPort = 1004;   // Cannot open the USB port
constexpr LinkError kErrBench = 1005;      // Cannot access the specified profile
constexpr LinkError kErrParameter = 1006;  // Parameter error
constexpr LinkError kErrNoPrinter = 1008;  // Printer with selected number is not found
constexpr LinkError kErrInUse = 1500;      // Printer is used by another process
constexpr LinkError kErrSize = 3003;       // MOT file which can not use address range(size)
constexpr LinkError kErrAddress = 3203;    // MOT data error(address is incorrect)
constexpr PrinterStatus kStatusBusy = 2100;
constexpr PrinterStatus kStatusNoLink = 2600;
constexpr std::uint32_t kUsbAddress = 0x4000;
constexpr std::size_t kMaxListEntries = 65535;

struct PrinterRun {
  std::size_t statusIndex = 0;
  std::uint32_t busyLeft = 0;
};

struct Download {
  bool active = false;
  int printer = -1;
  int target = 0;
  std::uint32_t size = 0;
  std::uint32_t place = 0;               // how much the printer has taken so far
  const unsigned char* start = nullptr;  // the buffer start of the first block
  bool countFault = false;               // an injected count has acted in this download
  std::vector<unsigned char> data;
};

struct World {
  bool loaded = false;
  std::string benchError;  // not empty: the bench was not understood and LinkOpen fails
  Options options;
  Bench bench;
  std::vector<PrinterRun> runs;  // one per bench printer
  bool open = false;
  int selected = -1;
  Download download;
  std::uint64_t calls[kOpCount] = {};
  unsigned imagesReceived = 0;
  std::vector<std::string> journal;
};

World& TheWorld() {
  static World world;
  return world;
}

std::string N(std::uint64_t value) {
  return std::to_string(value);
}
std::string I(std::int64_t value) {
  return std::to_string(value);
}

// ---- Journal ----------------------------------------------------------------------------------

void Journal(World& w, const std::string& line) {
  if (w.options.keepJournal) w.journal.push_back(line);
  if (w.options.journal.empty()) return;
  // Opened and closed per line, so a process that dies loses nothing.
  if (std::FILE* file = std::fopen(w.options.journal.c_str(), "ab")) {
    std::fputs(line.c_str(), file);
    std::fputc('\n', file);
    std::fclose(file);
  }
}

// Builds the line only when someone keeps it.
template <typename Make>
void Log(World& w, Make make) {
  if (w.options.keepJournal || !w.options.journal.empty()) Journal(w, make());
}

void Violation(World& w, Op op, const std::string& what) {
  Log(w, [&] { return std::string("VIOLATION ") + OpName(op) + ": " + what; });
}

std::string Tail(const Fault* fault) {
  return fault != nullptr ? " fault" : "";
}

void Put(unsigned short* err, LinkError code) {
  if (err != nullptr) *err = code;
}

// ---- Files ------------------------------------------------------------------------------------

bool ReadFile(const std::string& path, std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  text.clear();
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteFile(const std::string& path, const unsigned char* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

void SaveState(World& w) {
  if (w.options.state.empty()) return;
  std::string text = FormatState(w.bench.printers);
  if (!WriteFile(w.options.state, reinterpret_cast<const unsigned char*>(text.data()),
                 text.size())) {
    Log(w, [&] { return "SIM cannot write the state file " + w.options.state; });
  }
}

// The state file, when present, gives the bench printers of the same serial their entries and
// density from an earlier run.
bool ApplyState(const std::string& path, Bench& bench, std::string& error) {
  std::string text;
  if (path.empty() || !ReadFile(path, text)) return true;
  Bench kept;
  if (!ParseBench(text, path, kept, error)) return false;
  for (const SimPrinter& from : kept.printers) {
    for (SimPrinter& to : bench.printers) {
      if (to.serial == from.serial) {
        to.engine = from.engine;
        to.density = from.density;
      }
    }
  }
  return true;
}

std::string FileSerial(const std::array<unsigned char, kSerialSize>& serial) {
  std::string text;
  for (unsigned char c : serial) {
    bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                 c == '-' || c == '_' || c == '.';
    if (plain) {
      text += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      text += hex;
    }
  }
  return text;
}

// ---- Loading ----------------------------------------------------------------------------------

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

void Install(World& w, Bench bench, bool ok, const std::string& error, const std::string& source,
             bool toStderr) {
  std::string why = error;
  if (ok) ok = ApplyState(w.options.state, bench, why);
  w.loaded = true;
  if (!ok) {
    w.benchError = why;
    if (toStderr) std::fprintf(stderr, "vn818sim: %s\n", why.c_str());
    Log(w, [&] { return "SIM " + why; });
    return;
  }
  w.bench = std::move(bench);
  w.runs.assign(w.bench.printers.size(), PrinterRun{});
  Log(w, [&] { return "SIM bench " + source + " printers=" + N(w.bench.printers.size()); });
}

void LoadFromEnvironment(World& w) {
  w.options.journal = Env("VN818SIM_JOURNAL");
  w.options.images = Env("VN818SIM_IMAGES");
  w.options.state = Env("VN818SIM_STATE");
  std::string path = Env("VN818SIM_BENCH");
  Bench bench;
  std::string error;
  bool ok = true;
  if (path.empty()) {
    bench = DefaultBench();
  } else {
    std::string text;
    ok = ReadFile(path, text);
    if (!ok) error = path + ": cannot be read";
    if (ok) ok = ParseBench(text, path, bench, error);
  }
  if (ok) {
    std::string faults = Env("VN818SIM_FAULTS");
    std::replace(faults.begin(), faults.end(), ';', '\n');
    ok = ParseBench(faults, "VN818SIM_FAULTS", bench, error);
  }
  Install(w, std::move(bench), ok, error, path.empty() ? "built-in" : path, true);
}

// Taken apart into plain variables by the operations, not by a structured binding: clang 14
// (the fuzzing build) cannot capture a binding in the journal's lambdas.
struct Call {
  World& w;
  const Fault* fault;  // the bench fault that shapes this call, if any

  // The fault makes the call fail without doing its work.
  bool Fails() const { return fault != nullptr && fault->Fails(); }
  LinkError FailCode() const { return fault->err.value_or(0); }
  // After the work: a fault that lets the call work still decides what it reports.
  void Override(int& result) const {
    if (fault != nullptr) result = fault->Result();
  }
  void Override(int& result, LinkError& code) const {
    if (fault == nullptr) return;
    result = fault->Result();
    if (fault->err) code = *fault->err;
  }
};

Call Enter(Op op) {
  World& w = TheWorld();
  if (!w.loaded) LoadFromEnvironment(w);
  std::uint64_t n = ++w.calls[static_cast<int>(op)];
  for (const Fault& fault : w.bench.faults) {
    if (fault.op == op && (n == fault.nth || (fault.andLater && n >= fault.nth))) {
      return {w, &fault};
    }
  }
  return {w, nullptr};
}

// The rules for the calls that work on the selected printer; journals the first one broken.
bool PrinterReady(World& w, Op op, bool duringDownload) {
  if (!w.open) {
    Violation(w, op, "the link is not open");
    return false;
  }
  if (w.selected < 0) {
    Violation(w, op, "no printer is selected");
    return false;
  }
  if (!duringDownload && w.download.active) {
    Violation(w, op, "a download is open");
    return false;
  }
  return true;
}

int EntryOfTarget(int target) {
  switch (target) {
    case 6:
      return 5;
    case 1:
      return 1;
    case 0:
      return 3;
    default:
      return 6;  // 2, TABLE
  }
}

// A complete image: the printer takes on its version, gets busy and keeps what it can.
std::string Complete(World& w) {
  Download& d = w.download;
  SimPrinter& printer = w.bench.printers[static_cast<std::size_t>(d.printer)];
  std::vector<unsigned char> image =
      d.target == kTargetUsb ? UsbWireToFileOrder(d.data) : std::move(d.data);
  std::string note;
  std::uint32_t major = 0, minor = 0;
  if (DecodeStamp(d.target, image, major, minor)) {
    unsigned char* entry =
        printer.engine.data() + 1 + kEntrySize * static_cast<std::size_t>(EntryOfTarget(d.target));
    // One byte a part: a TABLE value above 255 keeps its low 8 bits.
    entry[34] = static_cast<unsigned char>(major & 0xFF);
    entry[35] = static_cast<unsigned char>(minor & 0xFF);
    char version[16];
    std::snprintf(version, sizeof version, " version=%02X.%02X", entry[34], entry[35]);
    note = version;
  } else {
    note = " version=none";
  }
  w.runs[static_cast<std::size_t>(d.printer)].busyLeft = printer.busyAfterDownload;
  ++w.imagesReceived;
  if (!w.options.images.empty()) {
    std::string name =
        FileSerial(printer.serial) + "-" + N(w.imagesReceived) + "-" + I(d.target) + ".bin";
    std::string folder = w.options.images;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    if (WriteFile(folder + name, image.data(), image.size())) {
      note += " image=" + name;
    } else {
      Log(w, [&] { return "SIM cannot write the image " + folder + name; });
    }
  }
  SaveState(w);
  return note;
}

}  // namespace

// ---- The ten operations -----------------------------------------------------------------------

int VN_LINKCALL LinkOpen(int port, unsigned short* err) {
  Call call = Enter(Op::LinkOpen);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  LinkError code = 0;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    if (!w.benchError.empty()) {
      code = kErrBench;
    } else if (w.open) {
      Violation(w, Op::LinkOpen, "the link is already open");
      code = kErrInUse;
    } else if (port != kLinkPort) {
      Violation(w, Op::LinkOpen, "port " + I(port) + ", not -1");
      code = kErrOpenPort;
    } else {
      w.open = true;
      w.selected = -1;
      result = 1;
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w, [&] {
    return "LinkOpen port=" + I(port) + " -> " + I(result) + " err=" + N(code) + Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkClose(void) {
  Call call = Enter(Op::LinkClose);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  std::string note;
  if (!call.Fails()) {
    if (w.open) {
      if (w.download.active) {
        note = " dropped=" + N(w.download.place) + "/" + N(w.download.size);
        w.download = Download{};
      }
      w.open = false;
      w.selected = -1;
      result = 1;
    }
    call.Override(result);
  }
  Log(w, [&] { return "LinkClose -> " + I(result) + note + Tail(fault); });
  return result;
}

int VN_LINKCALL LinkEnumPrinters(unsigned char* list) {
  Call call = Enter(Op::LinkEnumPrinters);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  std::size_t filled = 0;
  if (!call.Fails()) {
    if (!w.open) {
      Violation(w, Op::LinkEnumPrinters, "the link is not open");
    } else if (list == nullptr) {
      Violation(w, Op::LinkEnumPrinters, "no list");
    } else {
      const std::vector<SimPrinter>& printers = w.bench.printers;
      std::int64_t count =
          w.bench.enumCount ? *w.bench.enumCount : static_cast<std::int64_t>(printers.size());
      filled = std::min({static_cast<std::size_t>(count), printers.size(), kMaxListEntries});
      for (std::size_t i = 0; i < filled; ++i) {
        std::memcpy(list + kSerialSize * i, printers[i].serial.data(), kSerialSize);
      }
      result = static_cast<int>(count);
    }
    call.Override(result);
  }
  Log(w, [&] { return "LinkEnumPrinters -> " + I(result) + " filled=" + N(filled) + Tail(fault); });
  return result;
}

int VN_LINKCALL LinkSelectPrinter(const unsigned char* serial, unsigned short* err) {
  Call call = Enter(Op::LinkSelectPrinter);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  LinkError code = 0;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    if (!w.open) {
      Violation(w, Op::LinkSelectPrinter, "the link is not open");
      code = kErrParameter;
    } else if (w.download.active) {
      Violation(w, Op::LinkSelectPrinter, "a download is open");
      code = kErrParameter;
    } else if (serial == nullptr) {
      Violation(w, Op::LinkSelectPrinter, "no serial");
      code = kErrParameter;
    } else {
      w.selected = -1;
      for (std::size_t i = 0; i < w.bench.printers.size(); ++i) {
        if (std::memcmp(w.bench.printers[i].serial.data(), serial, kSerialSize) == 0) {
          w.selected = static_cast<int>(i);
        }
      }
      if (w.selected < 0) {
        code = kErrNoPrinter;
      } else {
        result = 1;
      }
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w, [&] {
    std::string shown = serial != nullptr ? EscapeText(serial, kSerialSize) : "none";
    return "LinkSelectPrinter serial=" + shown + " -> " + I(result) + " err=" + N(code) +
           Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkGetInfo(int tag, unsigned char* buffer, unsigned int* length) {
  Call call = Enter(Op::LinkGetInfo);
  World& w = call.w;
  const Fault* fault = call.fault;
  std::uint32_t offered = length != nullptr ? *length : 0;
  int result = 0;
  std::string value;
  if (!call.Fails()) {
    if (PrinterReady(w, Op::LinkGetInfo, false)) {
      SimPrinter& printer = w.bench.printers[static_cast<std::size_t>(w.selected)];
      if (buffer == nullptr || length == nullptr) {
        Violation(w, Op::LinkGetInfo, "no buffer or length");
      } else if (tag == PINFTAG_ENGID) {
        if (offered < kEngineSize) {
          Violation(w, Op::LinkGetInfo, "length " + N(offered) + " under 267");
        } else {
          std::memcpy(buffer, printer.engine.data(), kEngineSize);
          *length = kEngineSize;
          result = 1;
        }
      } else if (tag == PINFTAG_DENSITY_LAMI) {
        if (offered < 4) {
          Violation(w, Op::LinkGetInfo, "length " + N(offered) + " under 4");
        } else {
          std::memcpy(buffer, &printer.density, 4);
          *length = 4;
          result = 1;
          value = " value=" + N(printer.density);
        }
      }
    }
    call.Override(result);
  }
  Log(w, [&] {
    std::uint32_t after = length != nullptr ? *length : 0;
    return "LinkGetInfo tag=" + I(tag) + " length=" + N(offered) + " -> " + I(result) +
           " length=" + N(after) + value + Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkSetInfo(int tag, unsigned char* buffer, unsigned int* length,
                            unsigned short* err) {
  Call call = Enter(Op::LinkSetInfo);
  World& w = call.w;
  const Fault* fault = call.fault;
  std::uint32_t offered = length != nullptr ? *length : 0;
  std::uint32_t value = 0;
  bool hasValue = buffer != nullptr && offered >= 4;
  if (hasValue) std::memcpy(&value, buffer, 4);
  int result = 0;
  LinkError code = 0;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    if (!PrinterReady(w, Op::LinkSetInfo, false)) {
      code = kErrParameter;
    } else if (buffer == nullptr || length == nullptr) {
      Violation(w, Op::LinkSetInfo, "no buffer or length");
      code = kErrParameter;
    } else if (tag != PINFTAG_DENSITY_LAMI) {
      code = kErrParameter;
    } else if (offered < 4) {
      Violation(w, Op::LinkSetInfo, "length " + N(offered) + " under 4");
      code = kErrParameter;
    } else {
      w.bench.printers[static_cast<std::size_t>(w.selected)].density = value;
      SaveState(w);
      result = 1;
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w, [&] {
    return "LinkSetInfo tag=" + I(tag) + " length=" + N(offered) +
           (hasValue ? " value=" + N(value) : std::string()) + " -> " + I(result) +
           " err=" + N(code) + Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkGetStatus(unsigned short* status) {
  Call call = Enter(Op::LinkGetStatus);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  std::string shown = "none";
  bool silent = fault != nullptr && fault->silent;
  if (silent) {
    result = fault->Result();
  } else if (!call.Fails()) {
    if (status == nullptr) {
      Violation(w, Op::LinkGetStatus, "no status pointer");
    } else if (!PrinterReady(w, Op::LinkGetStatus, true)) {
      *status = kStatusNoLink;
      shown = N(kStatusNoLink);
    } else {
      const SimPrinter& printer = w.bench.printers[static_cast<std::size_t>(w.selected)];
      PrinterRun& run = w.runs[static_cast<std::size_t>(w.selected)];
      PrinterStatus reading = kStatusBusy;
      if (run.busyLeft > 0) {
        --run.busyLeft;
      } else {
        reading = printer.statuses[run.statusIndex];
        if (run.statusIndex + 1 < printer.statuses.size()) ++run.statusIndex;
      }
      *status = reading;
      shown = N(reading);
      result = 1;
    }
    call.Override(result);
  }
  Log(w, [&] { return "LinkGetStatus -> " + I(result) + " status=" + shown + Tail(fault); });
  return result;
}

int VN_LINKCALL LinkBeginDownload(int target, unsigned int address, unsigned int size,
                                  unsigned short* err) {
  Call call = Enter(Op::LinkBeginDownload);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  LinkError code = 0;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    bool knownTarget = target == kTargetDsp || target == kTargetMain || target == kTargetTable ||
                       target == kTargetUsb;
    std::uint32_t expected = target == kTargetUsb ? kUsbAddress : 0;
    if (!PrinterReady(w, Op::LinkBeginDownload, false)) {
      code = kErrParameter;
    } else if (!knownTarget) {
      Violation(w, Op::LinkBeginDownload, "unknown target " + I(target));
      code = kErrParameter;
    } else if (address != expected) {
      Violation(w, Op::LinkBeginDownload,
                "start address " + N(address) + " for target " + I(target));
      code = kErrAddress;
    } else if (size == 0) {
      code = kErrParameter;
    } else if (size > kMaxImageSize) {
      code = kErrSize;
    } else {
      Download d;
      try {
        d.data.assign(size, 0);
      } catch (const std::bad_alloc&) {
        code = kErrMemory;
      }
      if (code == 0) {
        d.active = true;
        d.printer = w.selected;
        d.target = target;
        d.size = size;
        w.download = std::move(d);
        result = 1;
      }
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w, [&] {
    return "LinkBeginDownload target=" + I(target) + " address=" + N(address) + " size=" + N(size) +
           " -> " + I(result) + " err=" + N(code) + Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkSendBlock(unsigned char* buffer, unsigned int* count, unsigned short* err) {
  Call call = Enter(Op::LinkSendBlock);
  World& w = call.w;
  const Fault* fault = call.fault;
  std::uint32_t offered = count != nullptr ? *count : 0;
  Download& d = w.download;
  int result = 0;
  LinkError code = 0;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    if (!d.active) {
      Violation(w, Op::LinkSendBlock, "no download is open");
      code = kErrParameter;
    } else if (buffer == nullptr || count == nullptr) {
      Violation(w, Op::LinkSendBlock, "no buffer or count");
      code = kErrParameter;
    } else if (d.start != nullptr && buffer != d.start) {
      // The printer reads on from its own place, so a moved start would skip data.
      Violation(w, Op::LinkSendBlock, "the buffer start is not the one of the first block");
      code = kErrParameter;
    } else {
      d.start = buffer;
      const SimPrinter& printer = w.bench.printers[static_cast<std::size_t>(d.printer)];
      std::uint32_t left = d.size - d.place;
      std::uint32_t taken = std::min(offered, left);
      if (printer.take != kTakeAll) taken = std::min(taken, printer.take);
      std::uint32_t reported = taken;
      if (fault != nullptr && fault->taken) {
        d.countFault = true;
        taken = std::min(taken, *fault->taken);
        reported = *fault->taken;
      }
      if (left == 0 && !d.countFault) {
        Violation(w, Op::LinkSendBlock, "a block after the whole image was taken");
      }
      std::memcpy(d.data.data() + d.place, buffer + d.place, taken);
      d.place += taken;
      *count = reported;
      result = 1;
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w, [&] {
    std::uint32_t after = count != nullptr ? *count : 0;
    return "LinkSendBlock count=" + N(offered) + " -> " + I(result) + " taken=" + N(after) +
           " place=" + N(d.place) + " err=" + N(code) + Tail(fault);
  });
  return result;
}

int VN_LINKCALL LinkEndDownload(unsigned short* err) {
  Call call = Enter(Op::LinkEndDownload);
  World& w = call.w;
  const Fault* fault = call.fault;
  int result = 0;
  LinkError code = 0;
  std::string note;
  if (call.Fails()) {
    code = call.FailCode();
  } else {
    // Called after every download attempt, also when none was begun: harmless then.
    if (w.download.active) {
      note = " received=" + N(w.download.place) + "/" + N(w.download.size);
      if (w.download.place == w.download.size) note += Complete(w);
      w.download = Download{};
      result = 1;
    }
    call.Override(result, code);
  }
  Put(err, code);
  Log(w,
      [&] { return "LinkEndDownload -> " + I(result) + " err=" + N(code) + note + Tail(fault); });
  return result;
}

// ---- In-process use ---------------------------------------------------------------------------

bool LoadBench(std::string_view text, const Options& options, std::string& error) {
  World& w = TheWorld();
  w = World{};
  w.options = options;
  Bench bench;
  bool ok = ParseBench(text, "bench", bench, error);
  Install(w, std::move(bench), ok, error, "in-process", false);
  if (!w.benchError.empty()) error = w.benchError;
  return w.benchError.empty();
}

void Reset() {
  TheWorld() = World{};
}

const std::vector<std::string>& JournalLines() {
  return TheWorld().journal;
}

LinkEntryPoints EntryPoints() {
  LinkEntryPoints entry;
  entry.LinkOpen = &LinkOpen;
  entry.LinkClose = &LinkClose;
  entry.LinkEnumPrinters = &LinkEnumPrinters;
  entry.LinkSelectPrinter = &LinkSelectPrinter;
  entry.LinkGetInfo = &LinkGetInfo;
  entry.LinkSetInfo = &LinkSetInfo;
  entry.LinkGetStatus = &LinkGetStatus;
  entry.LinkBeginDownload = &LinkBeginDownload;
  entry.LinkSendBlock = &LinkSendBlock;
  entry.LinkEndDownload = &LinkEndDownload;
  return entry;
}

}  // namespace vn::sim
