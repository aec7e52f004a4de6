// The run from start to end: settings, banner, image files, link library, then the upgrade of
// every printer. Yields the process's exit status.
#pragma once

#include <cstdint>

#include "host.h"

namespace vn {

// Runs the tool with the command line `argc`/`argv` (argument 1: the settings file name; any
// later arguments are ignored). Returns 0 when the run met no failure, 1 otherwise.
int RunDriver(Host& host, int argc, char** argv);

// Puts into `dest` (260 characters) `path` cut back to its last backslash, which stays; empty
// when there is none. Returns false, leaving `dest` empty, when that part does not fit.
bool GetDirectoryPart(char* dest, const char* path);

// The length of the file at `path`: -2 after "File Data Open Error \n " when it cannot be
// opened, -1 when its length cannot be had or does not fit in 31 bits.
std::int32_t GetImageFileSize(const Host& host, const char* path);

}  // namespace vn
