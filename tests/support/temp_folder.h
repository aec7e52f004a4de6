// A fresh folder for a test's files, removed again at its end; optionally the current
// directory for the test's duration, restored afterwards.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace vn::test {

class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("vn818-test-" + std::to_string(stamp) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!previous_.empty()) std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Makes the folder the current directory until the folder goes.
  void Enter() {
    if (previous_.empty()) previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }

  // Writes `bytes` to the new file `name` and gives its full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace vn::test
