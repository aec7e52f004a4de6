// The platform layer for Windows: the tool's needs met by the Windows APIs themselves.
#include <windows.h>
// <windows.h> maps these names to its own A/W functions; ours are the tool's and keep theirs.
#undef GetCurrentDirectory
#undef GetProfileString
#undef GetProfileInt

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/platform.h"

namespace vn::platform {

const char kPathSeparator = '\\';

bool IsNtPlatform() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // the basic structure, 148 bytes
  // The query is marked deprecated; the tool needs nothing more than the platform family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
  return ok != 0 && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool GetCurrentDirectory(char* buffer, std::uint32_t size) {
  if (size == 0) return false;
  // On success the result is the length without the terminator; when the buffer is too small
  // it is the size needed, terminator included.
  DWORD length = ::GetCurrentDirectoryA(size, buffer);
  return length != 0 && length < size;
}

std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultValue,
                               char* buffer, std::uint32_t size, const char* path) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

std::uint32_t GetProfileInt(const char* section, const char* key, int defaultValue,
                            const char* path) {
  return ::GetPrivateProfileIntA(section, key, defaultValue, path);
}

int LoadResourceString(std::uint32_t id, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';
  return LoadStringA(GetModuleHandleA(nullptr), id, buffer, size);
}

// ---- Image blocks ---------------------------------------------------------------------------

void* AllocImageBlock(std::uint32_t bytes) {
  if (bytes == 0) return nullptr;  // a block of 0 bytes cannot be locked
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (handle == nullptr) return nullptr;
  void* block = GlobalLock(handle);
  if (block == nullptr) GlobalFree(handle);
  return block;
}

void FreeImageBlock(void* block) {
  if (block == nullptr) return;
  // The handle is not kept anywhere: it is found again from the locked pointer.
  GlobalUnlock(GlobalHandle(block));
  GlobalFree(GlobalHandle(block));
}

std::int64_t FileLength(std::FILE* file) {
  // The 64-bit calls, so that an image past 2 GiB shows its true length instead of failing.
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  __int64 length = _ftelli64(file);
  if (length < 0) return -1;
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
  return static_cast<std::int64_t>(length);
}

// ---- Time -----------------------------------------------------------------------------------

std::uint32_t TickCount() {
  return GetTickCount();
}

void SleepMs(std::uint32_t ms) {
  Sleep(ms);
}

// ---- Console --------------------------------------------------------------------------------

void ClearConsole() {
  // Nothing to do when "CLS" cannot run: the banner simply follows what was on the console.
  int ignored = std::system("CLS");
  (void)ignored;
}

void WriteStdout(const char* data, std::size_t size) {
  std::fwrite(data, 1, size, stdout);
  if (size > 0 && data[size - 1] == '\r') std::fflush(stdout);
}

// ---- Link library ---------------------------------------------------------------------------

namespace {
constexpr const char* kLinkLibraryFile = "VN818upgrade.dll";

// The system's own words for an error code, on one line.
std::string ErrorText(DWORD code) {
  char text[512];
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '\t')) {
    --length;
  }
  if (length == 0) return "system error " + std::to_string(code);
  // Some of the system's texts run over two lines; the reason must stay on one.
  std::string line;
  for (DWORD i = 0; i < length; ++i) {
    bool lineBreak = text[i] == '\r' || text[i] == '\n';
    if (!lineBreak) {
      line += text[i];
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  return line;
}
}  // namespace

bool LoadLinkLibrary(LinkEntryPoints& entry, std::string& reason) {
  // The normal DLL search, which looks in the tool's own folder first.
  HMODULE library = LoadLibraryA(kLinkLibraryFile);
  if (library == nullptr) {
    DWORD why = GetLastError();
    reason = std::string("Cannot load the printer link library ") + kLinkLibraryFile + ": " +
             ErrorText(why);
    return false;
  }
  // The operations are bound by their export numbers, not by name. On success the library stays
  // loaded until the process ends.
  bool complete = true;
  auto bind = [&](auto& slot, const char* name, int ordinal) {
    if (!complete) return;
    FARPROC proc = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    if (proc == nullptr) {
      DWORD why = GetLastError();
      reason = std::string("The printer link library ") + kLinkLibraryFile + " has no operation " +
               name + " (ordinal " + std::to_string(ordinal) + "): " + ErrorText(why);
      complete = false;
      return;
    }
    // Through the generic function pointer type, which the compiler accepts for any target.
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        reinterpret_cast<void (*)()>(proc));
  };
  bind(entry.LinkOpen, "LinkOpen", 50);
  bind(entry.LinkClose, "LinkClose", 3);
  bind(entry.LinkEnumPrinters, "LinkEnumPrinters", 6);
  bind(entry.LinkSelectPrinter, "LinkSelectPrinter", 8);
  bind(entry.LinkGetInfo, "LinkGetInfo", 9);
  bind(entry.LinkSetInfo, "LinkSetInfo", 21);
  bind(entry.LinkGetStatus, "LinkGetStatus", 15);
  bind(entry.LinkBeginDownload, "LinkBeginDownload", 51);
  bind(entry.LinkSendBlock, "LinkSendBlock", 53);
  bind(entry.LinkEndDownload, "LinkEndDownload", 52);
  if (!complete) {
    entry = LinkEntryPoints{};
    FreeLibrary(library);
  }
  return complete;
}

}  // namespace vn::platform
