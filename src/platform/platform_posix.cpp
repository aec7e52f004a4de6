// The platform layer for Linux and other POSIX systems: our own implementation of what the
// tool expects of the Windows APIs.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vn::platform {

const char kPathSeparator = '/';

bool IsNtPlatform() {
  return true;
}

bool GetCurrentDirectory(char* buffer, std::uint32_t size) {
  return size > 0 && getcwd(buffer, size) != nullptr;
}

// ---- String table ---------------------------------------------------------------------------

namespace {
struct StringRow {
  std::uint32_t id;
  const char* text;
};
constexpr StringRow kStringTable[] = {
#include "messages_table.inc"
};
}  // namespace

int LoadResourceString(std::uint32_t id, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';
  for (const StringRow& row : kStringTable) {
    if (row.id != id) continue;
    std::size_t length = std::strlen(row.text);
    if (length > static_cast<std::size_t>(size - 1)) length = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, row.text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  return 0;
}

// ---- Image blocks ---------------------------------------------------------------------------

void* AllocImageBlock(std::uint32_t bytes) {
  if (bytes == 0) return nullptr;  // as on Windows: a block of 0 bytes cannot be locked
  return std::calloc(bytes, 1);
}

void FreeImageBlock(void* block) {
  std::free(block);
}

std::int64_t FileLength(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  off_t length = ftello(file);
  if (length < 0) return -1;
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
  return static_cast<std::int64_t>(length);
}

// ---- Time -----------------------------------------------------------------------------------

std::uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                     static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);  // wraps like GetTickCount
}

void SleepMs(std::uint32_t ms) {
  timespec rest{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

// ---- Console --------------------------------------------------------------------------------

void ClearConsole() {
  if (isatty(STDOUT_FILENO)) {
    std::fputs("\x1b[H\x1b[2J", stdout);
    std::fflush(stdout);
  }
}

void WriteStdout(const char* data, std::size_t size) {
  std::fwrite(data, 1, size, stdout);
  if (size > 0 && data[size - 1] == '\r') std::fflush(stdout);
}

// ---- Link library ---------------------------------------------------------------------------

namespace {
constexpr const char* kLinkLibraryFile = "libVN818upgrade.so";

std::string OwnFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return {};
  *slash = '\0';
  return path;
}

// Binds the ten operations of an opened library. When one is missing the library is closed
// again and `entry` is left empty, so no pointer into it survives.
bool BindOperations(void* handle, LinkEntryPoints& entry, std::string& reason) {
  bool complete = true;
  auto bind = [&](auto& slot, const char* name) {
    if (!complete) return;
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
      const char* why = dlerror();
      reason = std::string("The printer link library ") + kLinkLibraryFile + " has no operation " +
               name + ": " + (why != nullptr ? why : "symbol not found");
      complete = false;
      return;
    }
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(symbol);
  };
  bind(entry.LinkOpen, "LinkOpen");
  bind(entry.LinkClose, "LinkClose");
  bind(entry.LinkEnumPrinters, "LinkEnumPrinters");
  bind(entry.LinkSelectPrinter, "LinkSelectPrinter");
  bind(entry.LinkGetInfo, "LinkGetInfo");
  bind(entry.LinkSetInfo, "LinkSetInfo");
  bind(entry.LinkGetStatus, "LinkGetStatus");
  bind(entry.LinkBeginDownload, "LinkBeginDownload");
  bind(entry.LinkSendBlock, "LinkSendBlock");
  bind(entry.LinkEndDownload, "LinkEndDownload");
  if (!complete) {
    entry = LinkEntryPoints{};
    dlclose(handle);
  }
  // On success the library stays loaded until the process ends.
  return complete;
}

bool NotLoaded(std::string& reason) {
  const char* why = dlerror();
  reason = std::string("Cannot load the printer link library ") + kLinkLibraryFile + ": " +
           (why != nullptr ? why : "unknown reason");
  return false;
}
}  // namespace

bool LoadLinkLibrary(LinkEntryPoints& entry, std::string& reason) {
  // The library next to the tool comes first, as the Windows DLL search would have it.
  std::string beside = OwnFolder() + "/" + kLinkLibraryFile;
  void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) handle = dlopen(kLinkLibraryFile, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return NotLoaded(reason);
  return BindOperations(handle, entry, reason);
}

bool LoadLinkLibraryFile(const std::string& file, LinkEntryPoints& entry, std::string& reason) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return NotLoaded(reason);
  return BindOperations(handle, entry, reason);
}

// ---- Settings files -------------------------------------------------------------------------
// The private-profile rules the tool relies on: names match without regard to ASCII letter case
// and blanks around them; the first section of a name and the first key of a name in it win; a
// value loses the blanks around it and one pair of matching quotation marks; a key line without
// "=" counts as no value at all. The file is read once and scanned once, so any file, however
// large or odd, costs time in proportion to its size.

namespace {

// Blanks as the profile rules see them; 0x1A is the end-of-file mark of old editors. Bytes
// from 0x80 up are never blanks: they may be parts of UTF-8 characters.
bool IsProfileBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileBlank(text[begin])) ++begin;
  while (end > begin && IsProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Settings files saved as "Unicode" carry a UTF-16 byte order mark; their text is taken as
// UTF-8, the narrow encoding of file names here. A UTF-8 mark is dropped; any other file is
// taken byte for byte.
void DecodeProfileText(std::string& text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (text.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    text.erase(0, 3);
    return;
  }
  if (text.size() < 2) return;
  bool little = byte(0) == 0xFF && byte(1) == 0xFE;
  bool big = byte(0) == 0xFE && byte(1) == 0xFF;
  if (!little && !big) return;
  std::string utf8;
  utf8.reserve(text.size());
  auto unit = [&](std::size_t i) -> std::uint32_t {
    return little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
  };
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < text.size()) {
      std::uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a lone half of a pair
    AppendUtf8(utf8, code);
  }
  text.swap(utf8);
}

// The whole file, or false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::string& text) {
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
  if (!file) return false;
  // Straight into the text, in steps that grow with it, so a large file costs few calls.
  std::size_t used = 0;
  std::size_t step = 64 * 1024;
  for (;;) {
    text.resize(used + step);
    std::size_t got = std::fread(text.data() + used, 1, step, file.get());
    used += got;
    if (got < step) break;
    if (step < 16 * 1024 * 1024) step *= 2;
  }
  text.resize(used);
  if (std::ferror(file.get()) != 0) return false;
  DecodeProfileText(text);
  return true;
}

const char* SkipBlanks(const char* begin, const char* end) {
  while (begin < end && IsProfileBlank(*begin)) ++begin;
  return begin;
}

const char* DropBlanks(const char* begin, const char* end) {
  while (end > begin && IsProfileBlank(end[-1])) --end;
  return end;
}

// A name or value of the file from `begin` to `end`, without the blanks around it, ending at
// a NUL byte as a C string would.
std::string_view FileText(const char* begin, const char* end) {
  begin = SkipBlanks(begin, end);
  end = DropBlanks(begin, end);
  const void* nul = std::memchr(begin, '\0', static_cast<std::size_t>(end - begin));
  if (nul != nullptr) end = static_cast<const char*>(nul);
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

// The raw value of `key` in the first section named `section`; nothing when the file, the
// section, the key or its "=" is missing.
std::optional<std::string_view> FindProfileValue(std::string_view text, std::string_view section,
                                                 std::string_view key) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // Lines end at LF. Only past the last LF of the file (a file of old Mac line ends, or its
  // unterminated tail) does a lone CR end a line.
  const char* lastLf = end;
  while (lastLf > p && lastLf[-1] != '\n') --lastLf;
  // Keys above the first section header belong to a section without a name.
  bool inSection = section.empty();
  while (p < end) {
    const char* stop;
    if (p < lastLf) {
      stop = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(lastLf - p)));
    } else {
      stop = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
      if (stop == nullptr) stop = end;
    }
    const char* begin = SkipBlanks(p, stop);
    const char* last = DropBlanks(begin, stop);
    p = stop < end ? stop + 1 : end;
    if (begin == last) continue;

    if (*begin == '[') {
      const char* close = last - 1;
      while (close > begin && *close != ']') --close;
      if (close > begin) {
        if (inSection) return std::nullopt;  // only the first section of the name counts
        inSection = SameName(FileText(begin + 1, close), section);
        continue;
      }
      // Without a closing bracket the line is an ordinary key line.
    }
    if (!inSection) continue;

    const char* equals =
        static_cast<const char*>(std::memchr(begin, '=', static_cast<std::size_t>(last - begin)));
    if (!SameName(FileText(begin, equals != nullptr ? equals : last), key)) continue;
    if (equals == nullptr) return std::nullopt;
    return FileText(equals + 1, last);
  }
  return std::nullopt;
}

// Copies `value` into `buffer` without one pair of matching quotation marks around it, cut to
// size - 1 characters; returns the number of characters copied.
std::uint32_t CopyProfileText(std::string_view value, char* buffer, std::uint32_t size) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  std::size_t length = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

std::string_view QueryName(const char* name) {
  return name == nullptr ? std::string_view() : TrimBlanks(name);
}

}  // namespace

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultValue,
                               char* buffer, std::uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  std::string text;
  std::optional<std::string_view> value;
  if (section != nullptr && key != nullptr && path != nullptr && ReadWholeFile(path, text)) {
    value = FindProfileValue(text, QueryName(section), QueryName(key));
  }
  if (value) return CopyProfileText(*value, buffer, size);
  // The default loses its trailing blanks, then its quotation marks like a value.
  std::string_view fallback = defaultValue == nullptr ? "" : defaultValue;
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
  return CopyProfileText(fallback, buffer, size);
}

std::uint32_t GetProfileInt(const char* section, const char* key, int defaultValue,
                            const char* path) {
  // The number is read like a text into a buffer of 30, so at most 29 characters of it count.
  char text[30];
  if (GetProfileString(section, key, "", text, sizeof text, path) == 0) {
    return static_cast<std::uint32_t>(defaultValue);
  }
  // Leading control characters and blanks, a sign, then digits up to the first that is not
  // one; "0x", "0o" and "0b" choose base 16, 8 and 2. The sum wraps at 32 bits.
  const char* p = text;
  while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint32_t base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
    base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
    p += 2;
  }
  std::uint32_t total = 0;
  for (;; ++p) {
    std::uint32_t digit;
    if (*p >= '0' && *p <= '9') {
      digit = static_cast<std::uint32_t>(*p - '0');
    } else if (*p >= 'a' && *p <= 'z') {
      digit = static_cast<std::uint32_t>(*p - 'a' + 10);
    } else if (*p >= 'A' && *p <= 'Z') {
      digit = static_cast<std::uint32_t>(*p - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

}  // namespace vn::platform
