// Firmware images as the simulated printers see them: the version stamp a printer finds in an
// image it received, the wire order of the USB image, and example images for tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vn::sim {

constexpr std::uint32_t kMaxImageSize = 64u * 1024u * 1024u;

// The USB image goes out with its last 64 bytes first; this puts them back at the end (images
// under 64 bytes are left as they are).
std::vector<unsigned char> UsbWireToFileOrder(const std::vector<unsigned char>& wire);

// The version stamp of an image in file order for a download target (0 DSP, 1 MAIN, 2 TABLE,
// 6 USB), read as the tool's stamp readers read it. False when the image is too short for its
// stamp or a MAIN/DSP digit is not hexadecimal. TABLE values may exceed 255.
bool DecodeStamp(int target, const std::vector<unsigned char>& image, std::uint32_t& major,
                 std::uint32_t& minor);

enum class ImageKind { Usb, Main, Dsp, Table };
bool ParseImageKind(std::string_view text, ImageKind& kind);
int TargetOf(ImageKind kind);

// An example image of `size` bytes: deterministic pseudo-random content (the same for the same
// kind and size) with the stamp of `version` in place. False with a one-line reason when the
// version text does not fit the kind or the size cannot hold the stamp.
bool MakeImage(ImageKind kind, std::string_view version, std::uint64_t size,
               std::vector<unsigned char>& image, std::string& error);

}  // namespace vn::sim
