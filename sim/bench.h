// The bench of virtual printers: what each printer carries and reports, the faults to inject,
// and the line format they are written in (bench files, the state file).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vn::sim {

constexpr std::size_t kSerialSize = 8;
constexpr std::size_t kEngineSize = 267;
constexpr std::size_t kEntrySize = 38;
constexpr int kEntryCount = 7;
constexpr std::uint32_t kTakeAll = 0;

struct SimPrinter {
  std::array<unsigned char, kSerialSize> serial{};
  std::array<unsigned char, kEngineSize> engine{};
  std::uint32_t density = 65;
  std::vector<std::uint16_t> statuses{0};  // successive readings; the last one repeats
  std::uint32_t busyAfterDownload = 2;
  std::uint32_t take = kTakeAll;  // most bytes one block takes; kTakeAll: the whole offer
};

// The ten operations, in the order used for call counters.
enum class Op {
  LinkOpen,
  LinkClose,
  LinkEnumPrinters,
  LinkSelectPrinter,
  LinkGetInfo,
  LinkSetInfo,
  LinkGetStatus,
  LinkBeginDownload,
  LinkSendBlock,
  LinkEndDownload,
};
constexpr int kOpCount = 10;
const char* OpName(Op op);

struct Fault {
  Op op = Op::LinkOpen;
  std::uint64_t nth = 1;  // counted from 1
  bool andLater = false;  // "N+": the Nth and every later call
  std::optional<int> result;
  std::optional<std::uint16_t> err;
  std::optional<std::uint32_t> taken;
  bool silent = false;
  // What the call returns: `result`, else 1 for the kinds that leave the call working.
  int Result() const { return result.value_or(taken || silent ? 1 : 0); }
  bool Fails() const { return Result() == 0 && !silent; }
};

struct Bench {
  std::vector<SimPrinter> printers;
  std::vector<Fault> faults;
  std::optional<std::int32_t> enumCount;
};

// A printer as the built-in bench has it: new PCB, older firmware, density 65.
SimPrinter DefaultPrinter(std::string_view serial);
Bench DefaultBench();

// Reads bench lines into `bench`, after what it already holds (printer lines then belong to its
// last printer). `source` names the text in the message; false with "<source>:<line>: <what>".
bool ParseBench(std::string_view text, std::string_view source, Bench& bench, std::string& error);

// The printers' lasting part (serial, all seven entries, density) as bench lines.
std::string FormatState(const std::vector<SimPrinter>& printers);

// Bytes 0x21-0x7E but the backslash as they are, every other byte as \xNN.
std::string EscapeText(const unsigned char* bytes, std::size_t size);

}  // namespace vn::sim
