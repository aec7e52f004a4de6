// What the harnesses share: a check that turns a broken invariant into a finding, and a scratch
// folder of the process's own, made the current directory, for the files a run reads.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "broken invariant: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

namespace vn::fuzz {

// Makes a fresh folder for this process and enters it; parallel fuzzing jobs do not meet.
inline void EnterScratchFolder(const char* name) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
}

inline void WriteFile(const std::string& name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vn::fuzz
