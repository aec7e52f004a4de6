// Opening a firmware image file for reading, the same way wherever the tool touches one: when
// it is measured, when its stamp is read and when it is sent.
#pragma once

#include <cstdio>
#include <memory>

namespace vn {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// An open file, closed on every path out of the scope that holds it.
using ImageFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for binary reading, positioned at its start; null when it cannot be opened.
// A folder opens like a file on some systems (fopen succeeds on Linux) but reading it fails at
// once: it is no image on any, and counts as a file that cannot be opened, as on Windows.
ImageFile OpenImageFile(const char* path);

}  // namespace vn
