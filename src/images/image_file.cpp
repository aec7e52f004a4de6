#include "images/image_file.h"

namespace vn {

ImageFile OpenImageFile(const char* path) {
  ImageFile file(std::fopen(path, "rb"));
  if (!file) return file;
  if (std::fgetc(file.get()) == EOF && std::ferror(file.get()) != 0) return nullptr;
  std::rewind(file.get());
  return file;
}

}  // namespace vn
