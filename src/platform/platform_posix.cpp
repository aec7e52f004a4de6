// The platform layer for Linux and other POSIX systems: our own implementation of what the
// tool expects of the Windows APIs.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace vn::platform {

const char kPathSeparator = '/';

bool IsNtPlatform() { return true; }

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

void FreeImageBlock(void* block) { std::free(block); }

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
}  // namespace

bool LoadLinkLibrary(LinkEntryPoints& entry, std::string& reason) {
  // The library next to the tool comes first, as the Windows DLL search would have it.
  std::string beside = OwnFolder() + "/" + kLinkLibraryFile;
  void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) handle = dlopen(kLinkLibraryFile, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    reason = std::string("Cannot load the printer link library ") + kLinkLibraryFile + ": " +
             (why != nullptr ? why : "unknown reason");
    return false;
  }
  // The library stays loaded until the process ends.
  bool complete = true;
  auto bind = [&](auto& slot, const char* name) {
    if (!complete) return;
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
      const char* why = dlerror();
      reason = std::string("The printer link library ") + kLinkLibraryFile +
               " has no operation " + name + ": " + (why != nullptr ? why : "symbol not found");
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
  if (!complete) dlclose(handle);
  return complete;
}

// ---- Settings files -------------------------------------------------------------------------
// (the private-profile reader follows)

}  // namespace vn::platform
