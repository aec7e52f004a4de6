#include "bench.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace vn::sim {

namespace {

constexpr const char* kOpNames[kOpCount] = {
    "LinkOpen",    "LinkClose",     "LinkEnumPrinters",  "LinkSelectPrinter", "LinkGetInfo",
    "LinkSetInfo", "LinkGetStatus", "LinkBeginDownload", "LinkSendBlock",     "LinkEndDownload",
};

// Field widths and offsets within one 38-byte program entry.
struct Field {
  const char* key;
  std::size_t offset;
  std::size_t width;
};
constexpr Field kTextFields[] = {{"name", 0, 8}, {"type", 8, 16}, {"date", 24, 10}};
constexpr std::size_t kVersionOffset = 34;

unsigned char* EntryAt(SimPrinter& printer, int entry) {
  return printer.engine.data() + 1 + kEntrySize * static_cast<std::size_t>(entry);
}

void SetText(unsigned char* field, std::size_t width, std::string_view bytes) {
  std::memset(field, 0, width);
  std::memcpy(field, bytes.data(), std::min(width, bytes.size()));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      bytes += '\\';
      i += 1;
      continue;
    }
    if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
        HexDigit(text[i + 3]) >= 0) {
      bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
      continue;
    }
    return false;
  }
  return true;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// One or two hexadecimal digits, 0 to FF.
bool ParseVersionPart(std::string_view text, unsigned char& value) {
  if (text.empty() || text.size() > 2) return false;
  int v = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + d;
  }
  value = static_cast<unsigned char>(v);
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool FindOp(std::string_view name, Op& op) {
  for (int i = 0; i < kOpCount; ++i) {
    if (name == kOpNames[i]) {
      op = static_cast<Op>(i);
      return true;
    }
  }
  return false;
}

// Parses one statement; false with the reason in `what`.
bool ParseLine(const std::vector<std::string_view>& words, Bench& bench, std::string& what) {
  auto fail = [&what](std::string reason) {
    what = std::move(reason);
    return false;
  };
  std::string_view keyword = words[0];
  std::size_t argc = words.size() - 1;

  if (keyword == "printer") {
    if (argc != 1) return fail("printer takes one serial");
    std::string serial;
    if (!Unescape(words[1], serial)) return fail("bad escape in the serial");
    if (serial.empty() || serial.size() > kSerialSize) {
      return fail("a serial is 1 to 8 bytes");
    }
    SimPrinter printer = DefaultPrinter(serial);
    for (const SimPrinter& other : bench.printers) {
      if (other.serial == printer.serial) return fail("a second printer with this serial");
    }
    bench.printers.push_back(printer);
    return true;
  }
  if (keyword == "enum-count") {
    std::int32_t n = 0;
    if (argc != 1 || !ParseNumber(words[1], n) || n < 0) {
      return fail("enum-count takes a number 0 to 2147483647");
    }
    bench.enumCount = n;
    return true;
  }
  if (keyword == "fault") {
    Fault fault;
    if (argc < 2 || !FindOp(words[1], fault.op)) {
      return fail("fault takes an operation name and a call number");
    }
    std::string_view when = words[2];
    if (!when.empty() && when.back() == '+') {
      fault.andLater = true;
      when.remove_suffix(1);
    }
    if (!ParseNumber(when, fault.nth) || fault.nth == 0) {
      return fail("the call number is N or N+ with N from 1");
    }
    for (std::size_t i = 3; i < words.size(); ++i) {
      std::string_view word = words[i];
      std::size_t eq = word.find('=');
      std::string_view key = word.substr(0, eq);
      std::string_view value = eq == std::string_view::npos ? "" : word.substr(eq + 1);
      if (word == "silent") {
        if (fault.op != Op::LinkGetStatus) return fail("silent is for LinkGetStatus");
        fault.silent = true;
      } else if (key == "result" && eq != std::string_view::npos) {
        int r = 0;
        if (!ParseNumber(value, r)) return fail("result= takes a number");
        fault.result = r;
      } else if (key == "err" && eq != std::string_view::npos) {
        std::uint16_t e = 0;
        if (!ParseNumber(value, e)) return fail("err= takes a code 0 to 65535");
        fault.err = e;
      } else if (key == "taken" && eq != std::string_view::npos) {
        if (fault.op != Op::LinkSendBlock) return fail("taken= is for LinkSendBlock");
        std::uint32_t t = 0;
        if (!ParseNumber(value, t)) return fail("taken= takes a count");
        fault.taken = t;
      } else {
        return fail("unknown fault option " + std::string(word));
      }
    }
    bench.faults.push_back(fault);
    return true;
  }

  // The rest describe the printer started last.
  bool printerLine = keyword == "entry" || keyword == "density" || keyword == "status" ||
                     keyword == "busy-after-download" || keyword == "take";
  if (!printerLine) return fail("unknown statement " + std::string(keyword));
  if (bench.printers.empty()) return fail(std::string(keyword) + " before any printer");
  SimPrinter& printer = bench.printers.back();

  if (keyword == "entry") {
    int index = 0;
    if (argc < 1 || !ParseNumber(words[1], index) || index < 0 || index >= kEntryCount) {
      return fail("entry takes an entry number 0 to 6");
    }
    unsigned char* entry = EntryAt(printer, index);
    for (std::size_t i = 2; i < words.size(); ++i) {
      std::size_t eq = words[i].find('=');
      if (eq == std::string_view::npos) return fail("entry fields are key=value");
      std::string_view key = words[i].substr(0, eq);
      std::string_view value = words[i].substr(eq + 1);
      if (key == "version") {
        std::size_t dot = value.find('.');
        unsigned char major = 0, minor = 0;
        if (dot == std::string_view::npos || !ParseVersionPart(value.substr(0, dot), major) ||
            !ParseVersionPart(value.substr(dot + 1), minor)) {
          return fail("version is MM.mm in hexadecimal");
        }
        entry[kVersionOffset] = major;
        entry[kVersionOffset + 1] = minor;
        continue;
      }
      const Field* field = nullptr;
      for (const Field& f : kTextFields) {
        if (key == f.key) field = &f;
      }
      if (field == nullptr) return fail("unknown entry field " + std::string(key));
      std::string bytes;
      if (!Unescape(value, bytes)) return fail("bad escape in " + std::string(key));
      if (bytes.size() > field->width) {
        return fail(std::string(key) + " is at most " + std::to_string(field->width) + " bytes");
      }
      SetText(entry + field->offset, field->width, bytes);
    }
    return true;
  }
  if (keyword == "density") {
    if (argc != 1 || !ParseNumber(words[1], printer.density)) {
      return fail("density takes a number 0 to 4294967295");
    }
    return true;
  }
  if (keyword == "status") {
    if (argc < 1) return fail("status takes one or more codes");
    std::vector<std::uint16_t> codes;
    for (std::size_t i = 1; i < words.size(); ++i) {
      std::uint16_t code = 0;
      if (!ParseNumber(words[i], code)) return fail("status codes are 0 to 65535");
      codes.push_back(code);
    }
    printer.statuses = codes;
    return true;
  }
  if (keyword == "busy-after-download") {
    if (argc != 1 || !ParseNumber(words[1], printer.busyAfterDownload)) {
      return fail("busy-after-download takes a number");
    }
    return true;
  }
  // take
  if (argc == 1 && words[1] == "all") {
    printer.take = kTakeAll;
    return true;
  }
  std::uint32_t take = 0;
  if (argc != 1 || !ParseNumber(words[1], take) || take == 0) {
    return fail("take takes a count from 1 or all");
  }
  printer.take = take;
  return true;
}

}  // namespace

const char* OpName(Op op) {
  return kOpNames[static_cast<int>(op)];
}

SimPrinter DefaultPrinter(std::string_view serial) {
  SimPrinter printer;
  std::memcpy(printer.serial.data(), serial.data(), std::min(serial.size(), kSerialSize));
  struct Entry {
    const char* name;
    const char* type;
    unsigned char major, minor;
  };
  static constexpr Entry kEntries[kEntryCount] = {
      {"R7734100", "PCB", 1, 0},     {"VNMAIN", "MAIN", 1, 0}, {"VNBOOT", "BOOT", 1, 0},
      {"VNDSP", "DSP", 1, 0},        {"VNFONT", "FONT", 1, 0}, {"VNUSB", "USB", 1, 0},
      {"VNTABLE", "TABLE", 0, 0x10},
  };
  for (int i = 0; i < kEntryCount; ++i) {
    unsigned char* entry = EntryAt(printer, i);
    SetText(entry, 8, kEntries[i].name);
    SetText(entry + 8, 16, kEntries[i].type);
    SetText(entry + 24, 10, "2019/04/01");
    entry[kVersionOffset] = kEntries[i].major;
    entry[kVersionOffset + 1] = kEntries[i].minor;
  }
  return printer;
}

Bench DefaultBench() {
  Bench bench;
  bench.printers.push_back(DefaultPrinter("SN000001"));
  return bench;
}

bool ParseBench(std::string_view text, std::string_view source, Bench& bench, std::string& error) {
  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    std::string what;
    if (!ParseLine(words, bench, what)) {
      error = std::string(source) + ":" + std::to_string(lineNumber) + ": " + what;
      return false;
    }
  }
  return true;
}

std::string EscapeText(const unsigned char* bytes, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char c = bytes[i];
    if (c > 0x20 && c < 0x7f && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      text += hex;
    }
  }
  return text;
}

std::string FormatState(const std::vector<SimPrinter>& printers) {
  // Trailing zero bytes are the field's padding; inner ones are kept as escapes.
  auto trimmed = [](const unsigned char* field, std::size_t width) {
    while (width > 0 && field[width - 1] == 0) --width;
    return EscapeText(field, width);
  };
  auto serialText = [](const unsigned char* serial) {
    std::size_t width = kSerialSize;
    while (width > 1 && serial[width - 1] == 0) --width;  // a serial has at least one byte
    return EscapeText(serial, width);
  };
  std::string text = "# Printer state kept by the simulator between runs.\n";
  for (const SimPrinter& printer : printers) {
    text += "printer " + serialText(printer.serial.data()) + "\n";
    for (int i = 0; i < kEntryCount; ++i) {
      const unsigned char* entry = printer.engine.data() + 1 + kEntrySize * i;
      char version[8];
      std::snprintf(version, sizeof version, "%02X.%02X", entry[kVersionOffset],
                    entry[kVersionOffset + 1]);
      text += "entry " + std::to_string(i);
      for (const Field& f : kTextFields) {
        text += std::string(" ") + f.key + "=" + trimmed(entry + f.offset, f.width);
      }
      text += std::string(" version=") + version + "\n";
    }
    text += "density " + std::to_string(printer.density) + "\n";
  }
  return text;
}

}  // namespace vn::sim
