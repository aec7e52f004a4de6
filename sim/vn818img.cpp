// vn818img: writes an example firmware image of one kind with a chosen version stamp, for
// trying the tool against the simulator.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "images.h"

namespace {

constexpr const char* kUsage =
    "usage: vn818img <usb|main|dsp|table> <version> <size> <out>\n"
    "  vn818img usb 01.20 65536 usb.bin\n"
    "  vn818img main 01.23 200000 main.bin\n"
    "  vn818img dsp 02.01 70000 dsp.bin\n"
    "  vn818img table 00.12 4096 table.bin\n";

int Refuse(const std::string& why) {
  std::fprintf(stderr, "vn818img: %s\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  vn::sim::ImageKind kind{};
  if (!vn::sim::ParseImageKind(argv[1], kind)) {
    return Refuse(std::string("unknown kind ") + argv[1] + " (usb, main, dsp or table)");
  }
  std::string_view sizeText = argv[3];
  std::uint64_t size = 0;
  auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
  if (sizeText.empty() || ec != std::errc() || end != sizeText.data() + sizeText.size()) {
    return Refuse(std::string("the size ") + argv[3] + " is not a number of bytes");
  }
  std::vector<unsigned char> image;
  std::string error;
  if (!vn::sim::MakeImage(kind, argv[2], size, image, error)) return Refuse(error);

  std::FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "vn818img: cannot write %s\n", argv[4]);
    return 1;
  }
  bool ok = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "vn818img: cannot write %s\n", argv[4]);
    std::remove(argv[4]);
    return 1;
  }
  return 0;
}
