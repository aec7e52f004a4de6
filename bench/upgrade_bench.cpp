// What the tool costs on top of the waits it must make. A run lasts as long as its countdowns,
// status polls and final pause plus the printer's own transfer; everything else is ours. The
// families of measurements:
//   UpgradeRun     whole runs of RunPrinterUpgrades against the printer simulator linked
//                  in-process, with a virtual clock (sleeps are counted, not slept); the time
//                  spent inside the ten link operations is measured apart and taken off.
//   Send*/FileRead image load and hand-over throughput of each sender, next to a plain read
//                  of the same file into the same kind of block.
//   PeakMemory     resident memory a sender or a whole run adds at its peak, each measured in
//                  a child process of its own.
//   ProgressLines  the progress lines of a 64 MiB USB image through the console path.
// The console is the product's own write path (stdout, progress lines flushed), pointed at
// /dev/null while the measured code runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "host.h"
#include "images.h"
#include "images/transfer.h"
#include "platform/platform.h"
#include "sim.h"
#include "upgrade/sequence.h"

namespace vn::bench {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint32_t KiB = 1024;
constexpr std::uint32_t MiB = 1024 * KiB;
constexpr std::uint32_t kImageSizes[] = {64 * KiB, 1 * MiB, 16 * MiB, 64 * MiB};
constexpr int kPrinterCounts[] = {1, 16, 128};

// ---- Files --------------------------------------------------------------------------------

// Every image the benchmarks send, written once into a folder of its own that goes away at
// exit. The files are read right after they were written, so they come from the page cache.
class ImageFolder {
 public:
  ImageFolder() : dir_(fs::temp_directory_path() / ("vn818-bench-" + std::to_string(getpid()))) {
    fs::create_directories(dir_);
  }
  ~ImageFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  ImageFolder(const ImageFolder&) = delete;
  ImageFolder& operator=(const ImageFolder&) = delete;

  // An example image of the kind, version and size; made on first use.
  const std::string& Image(sim::ImageKind kind, const char* version, std::uint32_t size) {
    std::string name = std::to_string(static_cast<int>(kind)) + "-" + version + "-" +
                       std::to_string(size) + ".bin";
    for (const auto& [known, path] : made_) {
      if (known == name) return path;
    }
    std::vector<unsigned char> bytes;
    std::string error;
    if (!sim::MakeImage(kind, version, size, bytes, error)) {
      std::fprintf(stderr, "vn818_bench: cannot make %s: %s\n", name.c_str(), error.c_str());
      std::exit(2);
    }
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    made_.emplace_back(name, path);
    return made_.back().second;
  }

 private:
  fs::path dir_;
  std::vector<std::pair<std::string, std::string>> made_;
};

ImageFolder& Images() {
  static ImageFolder folder;
  return folder;
}

// CPU time of the calling thread: on a machine shared with other work the wall time also holds
// the time this thread waited for a processor.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// ---- Host ---------------------------------------------------------------------------------

// Sleeps are counted, not slept; the tick counter moves on by what was slept.
struct VirtualTime {
  std::uint32_t now = 0;
  std::uint64_t slept = 0;
};

// Standard output goes to /dev/null while this lives; what was written before is flushed to
// the real output first, and what the measured code wrote is flushed into /dev/null after.
class StdoutToNull {
 public:
  StdoutToNull() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~StdoutToNull() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  StdoutToNull(const StdoutToNull&) = delete;
  StdoutToNull& operator=(const StdoutToNull&) = delete;

 private:
  int saved_ = -1;
};

Host MakeHost(LinkApi link, VirtualTime& time) {
  Host host;
  host.link = std::move(link);
  host.tickCount = [&time] { return time.now; };
  host.sleep = [&time](std::uint32_t ms) {
    time.now += ms;
    time.slept += ms;
  };
  host.write = [](std::string_view text) { platform::WriteStdout(text.data(), text.size()); };
  host.isNtPlatform = [] { return true; };
  host.clearConsole = [] {};
  return host;
}

// Adds the time spent inside each link operation to `spentNs`.
template <typename Fn>
auto Timed(Fn fn, std::int64_t& spentNs) {
  return [fn, &spentNs](auto... args) {
    auto start = SteadyClock::now();
    auto result = fn(args...);
    spentNs +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - start).count();
    return result;
  };
}

LinkApi TimedLink(const LinkApi& link, std::int64_t& spentNs) {
  LinkApi timed;
  timed.LinkOpen = Timed(link.LinkOpen, spentNs);
  timed.LinkClose = Timed(link.LinkClose, spentNs);
  timed.LinkEnumPrinters = Timed(link.LinkEnumPrinters, spentNs);
  timed.LinkSelectPrinter = Timed(link.LinkSelectPrinter, spentNs);
  timed.LinkGetInfo = Timed(link.LinkGetInfo, spentNs);
  timed.LinkSetInfo = Timed(link.LinkSetInfo, spentNs);
  timed.LinkGetStatus = Timed(link.LinkGetStatus, spentNs);
  timed.LinkBeginDownload = Timed(link.LinkBeginDownload, spentNs);
  timed.LinkSendBlock = Timed(link.LinkSendBlock, spentNs);
  timed.LinkEndDownload = Timed(link.LinkEndDownload, spentNs);
  return timed;
}

// A printer that takes every offer whole and keeps nothing: what remains is the tool's work.
LinkApi NullLink() {
  LinkApi link;
  link.LinkOpen = [](int, LinkError* err) {
    *err = 0;
    return 1;
  };
  link.LinkClose = [] { return 1; };
  link.LinkEnumPrinters = [](unsigned char*) { return 0; };
  link.LinkSelectPrinter = [](const unsigned char*, LinkError* err) {
    *err = 0;
    return 1;
  };
  link.LinkGetInfo = [](int, unsigned char*, std::uint32_t*) { return 0; };
  link.LinkSetInfo = [](int, unsigned char*, std::uint32_t*, LinkError* err) {
    *err = 0;
    return 0;
  };
  link.LinkGetStatus = [](PrinterStatus* status) {
    *status = 0;
    return 1;
  };
  link.LinkBeginDownload = [](int, std::uint32_t, std::uint32_t, LinkError* err) {
    *err = 0;
    return 1;
  };
  link.LinkSendBlock = [](unsigned char* buffer, std::uint32_t*, LinkError* err) {
    benchmark::DoNotOptimize(buffer);
    *err = 0;
    return 1;
  };
  link.LinkEndDownload = [](LinkError* err) {
    *err = 0;
    return 1;
  };
  return link;
}

// The simulator with `printers` printers as the built-in bench describes them (new PCB,
// MAIN, DSP and USB 01.00, TABLE 00.10, density 65, busy for two readings after a download).
bool LoadPrinters(int printers) {
  std::string text;
  for (int i = 1; i <= printers; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "printer SN%06d\n", i);
    text += line;
  }
  std::string error;
  if (!sim::LoadBench(text, sim::Options{}, error)) {
    std::fprintf(stderr, "vn818_bench: bench not loaded: %s\n", error.c_str());
    return false;
  }
  return true;
}

// ---- Settings -----------------------------------------------------------------------------

void SetSlot(ImageSlot& slot, const std::string& path, std::uint32_t size) {
  std::snprintf(slot.path, kPathSize, "%s", path.c_str());
  slot.size = size;
}

UpgradeSettings NoImages() {
  UpgradeSettings settings{};
  for (ImageSlot* slot : {&settings.usb, &settings.mainOldPcb, &settings.dsp, &settings.table,
                          &settings.mainNewPcb}) {
    SetSlot(*slot, kNoFile, 0);
  }
  // Wait times of a typical settings file.
  settings.usbWaitTime = 10000;
  settings.mainWaitTime = 30000;
  settings.dspWaitTime = 20000;
  settings.tableWaitTime = 10000;
  settings.dispWaitTime = 3000;
  settings.retryCount = 3;
  settings.densityLami = 70;
  settings.forceDownload = 0;
  return settings;
}

// All four images for a new-PCB printer: newer than the simulated printers' firmware, or the
// same versions (every stamp is read and compared, nothing is sent).
UpgradeSettings RunSettings(bool upToDate, std::uint32_t imageSize) {
  UpgradeSettings settings = NoImages();
  ImageFolder& images = Images();
  SetSlot(settings.usb, images.Image(sim::ImageKind::Usb, upToDate ? "01.00" : "01.20", imageSize),
          imageSize);
  SetSlot(settings.mainNewPcb,
          images.Image(sim::ImageKind::Main, upToDate ? "01.00" : "01.23", imageSize), imageSize);
  SetSlot(settings.dsp, images.Image(sim::ImageKind::Dsp, upToDate ? "01.00" : "02.01", imageSize),
          imageSize);
  SetSlot(settings.table,
          images.Image(sim::ImageKind::Table, upToDate ? "00.10" : "00.12", imageSize), imageSize);
  return settings;
}

// ---- Whole runs ---------------------------------------------------------------------------

constexpr std::uint32_t kRunImageSize = 64 * KiB;

// Args: number of printers; 0 upgrade every printer (four images of 64 KiB each), 1 every
// printer is up to date. Reported per printer: the tool's own time (wall time less the time
// inside link operations), the link's time, and the waits the run was made to count.
void BM_UpgradeRun(benchmark::State& state) {
  const int printers = static_cast<int>(state.range(0));
  const bool upToDate = state.range(1) != 0;
  const UpgradeSettings settings = RunSettings(upToDate, kRunImageSize);
  VirtualTime time;
  std::int64_t linkNs = 0;
  Host host = MakeHost(TimedLink(BindLinkApi(sim::EntryPoints()), linkNs), time);

  std::int64_t totalNs = 0;
  std::int64_t totalLinkNs = 0;
  std::uint64_t totalSlept = 0;
  double cpuSeconds = 0;
  {
    StdoutToNull quiet;
    for (auto _ : state) {
      // Fresh printers for every run: the last run's downloads made them up to date.
      if (!LoadPrinters(printers)) {
        state.SkipWithError("the simulator did not load its bench");
        break;
      }
      time = VirtualTime{};
      linkNs = 0;
      double cpuStart = ThreadCpuSeconds();
      auto start = SteadyClock::now();
      bool ok = RunPrinterUpgrades(host, settings);
      cpuSeconds += ThreadCpuSeconds() - cpuStart;
      auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - start).count();
      state.SetIterationTime(static_cast<double>(ns) * 1e-9);
      if (!ok) {
        state.SkipWithError("the run met a failure");
        break;
      }
      totalNs += ns;
      totalLinkNs += linkNs;
      totalSlept += time.slept;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  if (runs == 0) return;
  const double perPrinter = runs * printers;
  const double toolUs = static_cast<double>(totalNs - totalLinkNs) / 1e3 / perPrinter;
  state.counters["tool_us/printer"] = toolUs;
  state.counters["link_us/printer"] = static_cast<double>(totalLinkNs) / 1e3 / perPrinter;
  // Tool and simulator together, on the processor only.
  state.counters["cpu_us/printer"] = cpuSeconds * 1e6 / perPrinter;
  // The final pause belongs to the run, not to a printer.
  const double waitsMs =
      (static_cast<double>(totalSlept) - runs * settings.dispWaitTime) / perPrinter;
  state.counters["waits_s/printer"] = waitsMs / 1e3;
  if (waitsMs > 0) state.counters["tool_ppm_of_waits"] = toolUs / (waitsMs * 1e3) * 1e6;
  state.SetLabel(upToDate ? "up to date: stamps read, nothing sent" : "4 images of 64 KiB sent");
}

// ---- Senders ------------------------------------------------------------------------------

// bytes_per_second from the wall time (Google Benchmark's own) and from the thread's CPU time.
void ReportThroughput(benchmark::State& state, std::uint32_t size, double cpuSeconds) {
  const double bytes = static_cast<double>(state.iterations()) * size;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  if (cpuSeconds > 0) {
    state.counters["cpu_bytes_per_second"] = benchmark::Counter(
        bytes / cpuSeconds, benchmark::Counter::kDefaults, benchmark::Counter::OneK::kIs1024);
  }
}

enum class Sender { kUsb, kMain, kDsp, kTable };
constexpr Sender kSenders[] = {Sender::kUsb, Sender::kMain, Sender::kDsp, Sender::kTable};

const char* SenderName(Sender sender) {
  switch (sender) {
    case Sender::kUsb:
      return "SendUsbImage";
    case Sender::kMain:
      return "SendMainImage";
    case Sender::kDsp:
      return "SendDspImage";
    case Sender::kTable:
      return "SendTableImage";
  }
  return "";
}

// The settings of one sender with the slot it reads; any file will do, senders read no stamp.
UpgradeSettings SenderSettings(Sender sender, std::uint32_t size) {
  UpgradeSettings settings = NoImages();
  const std::string& path = Images().Image(sim::ImageKind::Usb, "01.20", size);
  switch (sender) {
    case Sender::kUsb:
      SetSlot(settings.usb, path, size);
      break;
    case Sender::kMain:
      SetSlot(settings.mainNewPcb, path, size);
      break;
    case Sender::kDsp:
      SetSlot(settings.dsp, path, size);
      break;
    case Sender::kTable:
      SetSlot(settings.table, path, size);
      break;
  }
  return settings;
}

int Send(Sender sender, const Host& host, const UpgradeSettings& settings) {
  static const unsigned char kSerial[8] = {'S', 'N', '0', '0', '0', '0', '0', '1'};
  switch (sender) {
    case Sender::kUsb:
      return SendUsbImage(host, settings, kSerial);
    case Sender::kMain:
      return SendMainImage(host, settings, kSerial, 0);
    case Sender::kDsp:
      return SendDspImage(host, settings, kSerial);
    case Sender::kTable:
      return SendTableImage(host, settings, kSerial);
  }
  return 0;
}

// One image from file to link per iteration; `simulated` hands it to the simulator (which
// copies it into the printer and checks it) instead of a printer that keeps nothing.
void BM_Send(benchmark::State& state, Sender sender, std::uint32_t size, bool simulated) {
  const UpgradeSettings settings = SenderSettings(sender, size);
  if (simulated && !LoadPrinters(1)) {
    state.SkipWithError("the simulator did not load its bench");
    return;
  }
  VirtualTime time;
  Host host = MakeHost(simulated ? BindLinkApi(sim::EntryPoints()) : NullLink(), time);
  bool failed = false;
  double cpuStart = ThreadCpuSeconds();
  {
    StdoutToNull quiet;
    for (auto _ : state) {
      if (Send(sender, host, settings) != 1) {
        failed = true;
        break;
      }
    }
  }
  if (failed) state.SkipWithError("the sender failed");
  ReportThroughput(state, size, ThreadCpuSeconds() - cpuStart);
}

// The reference: the same file read into the same kind of block, nothing else.
void BM_FileRead(benchmark::State& state, std::uint32_t size) {
  const std::string& path = Images().Image(sim::ImageKind::Usb, "01.20", size);
  double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    void* block = AllocImageBuffer(size);
    std::size_t got = file != nullptr && block != nullptr ? std::fread(block, 1, size, file) : 0;
    FreeImageBuffer(block);
    if (file != nullptr) std::fclose(file);
    if (got != size) {
      state.SkipWithError("the file was not read");
      break;
    }
  }
  ReportThroughput(state, size, ThreadCpuSeconds() - cpuStart);
}

// Progress lines as a 64 MiB USB image prints them, through the product's console path, and
// the same lines with a flush after each (what a console without held-back lines would do).
void BM_ProgressLines(benchmark::State& state) {
  const bool flushEach = state.range(0) != 0;
  constexpr std::uint32_t kLines = 64 * MiB / 4096;
  VirtualTime time;
  Host host = MakeHost(NullLink(), time);
  if (flushEach) {
    host.write = [](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      if (!text.empty() && text.back() == '\r') std::fflush(stdout);
    };
  }
  double cpuStart = ThreadCpuSeconds();
  {
    StdoutToNull quiet;
    for (auto _ : state) {
      for (std::uint32_t line = 1; line <= kLines; ++line) {
        Print(host, "Sent %12lu byte(s) \r", static_cast<unsigned long>(line) * 4096);
      }
    }
  }
  const double lines = static_cast<double>(state.iterations()) * kLines;
  if (lines > 0) state.counters["cpu_ns/line"] = (ThreadCpuSeconds() - cpuStart) * 1e9 / lines;
  state.SetLabel(flushEach ? "flush after every line" : "the tool's console");
}

// ---- Peak memory --------------------------------------------------------------------------

// A "kB" line of /proc/self/status, in bytes; -1 when missing.
std::int64_t StatusBytes(const char* key) {
  std::FILE* file = std::fopen("/proc/self/status", "r");
  if (file == nullptr) return -1;
  char line[256];
  std::int64_t value = -1;
  const std::size_t keyLength = std::strlen(key);
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, key, keyLength) == 0) {
      value = std::strtoll(line + keyLength, nullptr, 10) * 1024;
      break;
    }
  }
  std::fclose(file);
  return value;
}

// What `work` adds to the process's own memory at its peak, in a child process of its own: the
// child runs `setup`, resets its high-water mark to what it holds now (VmHWM through
// clear_refs), runs `work` once and reports VmHWM less the resident size it started from. The
// pages of program code and libraries that the child maps while it works (a forked child maps
// them afresh) are file pages shared with every other process; their growth (RssFile) is taken
// off. -1 when the system does not let the mark be reset.
std::int64_t PeakGrowth(const std::function<void()>& setup, const std::function<void()>& work) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  std::fflush(nullptr);  // nothing buffered may be written twice
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    close(pipeFds[0]);
    setup();
    std::int64_t growth = -1;
    int marks = open("/proc/self/clear_refs", O_WRONLY);
    if (marks >= 0 && write(marks, "5", 1) == 1) {
      close(marks);
      std::int64_t before = StatusBytes("VmRSS:");
      std::int64_t filesBefore = StatusBytes("RssFile:");
      work();
      std::int64_t peak = StatusBytes("VmHWM:");
      std::int64_t files = StatusBytes("RssFile:");
      if (before >= 0 && peak >= 0 && filesBefore >= 0 && files >= 0) {
        growth = peak - before - (files - filesBefore);
      }
    }
    ssize_t written = write(pipeFds[1], &growth, sizeof growth);
    _exit(written == sizeof growth ? 0 : 1);
  }
  close(pipeFds[1]);
  std::int64_t growth = -1;
  if (read(pipeFds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return growth;
}

void ReportPeak(benchmark::State& state, std::int64_t growth, double expected) {
  if (growth < 0) {
    state.SkipWithError("peak resident memory cannot be measured here");
    return;
  }
  state.counters["peak_MiB"] = static_cast<double>(growth) / MiB;
  state.counters["beyond_buffers_KiB"] = (static_cast<double>(growth) - expected) / KiB;
}

// Peak memory of one sender and one image, against the printer that keeps nothing. The buffers
// the sender must hold: the image once, twice for USB (file order and wire order).
void BM_PeakMemorySend(benchmark::State& state, Sender sender, std::uint32_t size) {
  const UpgradeSettings settings = SenderSettings(sender, size);
  std::int64_t growth = -1;
  for (auto _ : state) {
    growth = PeakGrowth([] {},
                        [&] {
                          VirtualTime time;
                          Host host = MakeHost(NullLink(), time);
                          StdoutToNull quiet;
                          Send(sender, host, settings);
                        });
  }
  const double buffers = static_cast<double>(size) * (sender == Sender::kUsb ? 2 : 1);
  ReportPeak(state, growth, buffers);
  state.counters["image_MiB"] = static_cast<double>(size) / MiB;
}

constexpr std::uint32_t kPeakRunImageSize = 1 * MiB;

// Peak memory of a whole run against the simulator, four images of 1 MiB per printer. The
// simulator's printers are made before the mark is reset; what the run adds is the printer
// list (65535 entries of 8 bytes), the images in flight and the simulator's copy of the image
// it is receiving. None of it may grow with the number of printers.
void BM_PeakMemoryRun(benchmark::State& state) {
  const int printers = static_cast<int>(state.range(0));
  const UpgradeSettings settings = RunSettings(false, kPeakRunImageSize);
  std::int64_t growth = -1;
  for (auto _ : state) {
    growth = PeakGrowth([&] { LoadPrinters(printers); },
                        [&] {
                          VirtualTime time;
                          Host host = MakeHost(BindLinkApi(sim::EntryPoints()), time);
                          StdoutToNull quiet;
                          RunPrinterUpgrades(host, settings);
                        });
  }
  // The USB step holds the most: the tool's two blocks and, while the download ends, the
  // simulator's received image and its file-order copy.
  ReportPeak(state, growth, 4.0 * kPeakRunImageSize + 65535.0 * 8);
}

std::string SizeName(std::uint32_t size) {
  return size >= MiB ? std::to_string(size / MiB) + "MiB" : std::to_string(size / KiB) + "KiB";
}

void RegisterAll() {
  benchmark::RegisterBenchmark("UpgradeRun", BM_UpgradeRun)
      ->ArgNames({"printers", "up_to_date"})
      ->ArgsProduct({{kPrinterCounts[0], kPrinterCounts[1], kPrinterCounts[2]}, {0, 1}})
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  for (std::uint32_t size : kImageSizes) {
    benchmark::RegisterBenchmark(("FileRead/" + SizeName(size)).c_str(), BM_FileRead, size)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    for (Sender sender : kSenders) {
      for (bool simulated : {false, true}) {
        std::string name = std::string(SenderName(sender)) + "/" + SizeName(size) +
                           (simulated ? "/simulator" : "/null_printer");
        benchmark::RegisterBenchmark(name.c_str(), BM_Send, sender, size, simulated)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  benchmark::RegisterBenchmark("ProgressLines", BM_ProgressLines)
      ->ArgNames({"flush_each"})
      ->Arg(0)
      ->Arg(1)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  for (std::uint32_t size : kImageSizes) {
    for (Sender sender : kSenders) {
      std::string name = std::string("PeakMemory/") + SenderName(sender) + "/" + SizeName(size);
      benchmark::RegisterBenchmark(name.c_str(), BM_PeakMemorySend, sender, size)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("PeakMemory/UpgradeRun", BM_PeakMemoryRun)
      ->ArgNames({"printers"})
      ->Args({kPrinterCounts[0]})
      ->Args({kPrinterCounts[1]})
      ->Args({kPrinterCounts[2]})
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace vn::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vn::bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
