// The operating system as the tool uses it. platform_win32.cpp calls the Windows APIs;
// platform_posix.cpp is our own implementation of the same behaviour for Linux.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "link/link_api.h"

namespace vn::platform {

// Separator used when joining the current directory and a name ('\\' on Windows, '/' here).
extern const char kPathSeparator;

// True on the NT family of Windows (GetVersionExA platform id 2); the POSIX build says true.
bool IsNtPlatform();

// The current directory without a trailing separator; false when it cannot be had or does not
// fit in `size` bytes with its terminator.
bool GetCurrentDirectory(char* buffer, std::uint32_t size);

// Private-profile reading with the Windows rules (GetPrivateProfileStringA/IntA).
// Returns the number of characters copied, as the Windows function does.
std::uint32_t GetProfileString(const char* section, const char* key, const char* defaultValue,
                               char* buffer, std::uint32_t size, const char* path);
std::uint32_t GetProfileInt(const char* section, const char* key, int defaultValue,
                            const char* path);

// Loads string `id` of the program's own string table into `buffer` (at most size - 1
// characters and a terminator); returns the number of characters, 0 when there is no row.
int LoadResourceString(std::uint32_t id, char* buffer, int size);

// A zero-filled block of `bytes` bytes, locked for use (movable global memory on Windows);
// null when it cannot be had, and always for 0 bytes.
void* AllocImageBlock(std::uint32_t bytes);
void FreeImageBlock(void* block);

// The length of an open file; -1 when it cannot be had.
std::int64_t FileLength(std::FILE* file);

std::uint32_t TickCount();
void SleepMs(std::uint32_t ms);

// Clears the console: "CLS" on Windows; the ANSI sequence on a terminal here, nothing when
// standard output is not a terminal.
void ClearConsole();

// Writes to standard output; flushes when the text ends in "\r" (progress lines).
void WriteStdout(const char* data, std::size_t size);

// Loads the link library (VN818upgrade.dll by the normal DLL search; libVN818upgrade.so from
// the tool's own folder first, then by the loader's search) and binds the ten operations.
// On failure `reason` holds one line naming the file and, for a missing operation, its name.
bool LoadLinkLibrary(LinkEntryPoints& entry, std::string& reason);

#if !defined(_WIN32)
// The same from one given file, without the search; lets tests load a library kept in a folder
// of its own.
bool LoadLinkLibraryFile(const std::string& file, LinkEntryPoints& entry, std::string& reason);
#endif

}  // namespace vn::platform
