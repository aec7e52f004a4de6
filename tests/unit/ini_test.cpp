// The private-profile reader against the recorded Windows behaviour (tests/data/ini-vectors.tsv),
// and against files no editor would write.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "temp_folder.h"

namespace vn {
namespace {

using test::TempFolder;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes the escapes of the vector file: \n \r \t \\ \" and \xNN.
std::string Unescape(const std::string& field, bool& ok) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      bytes += field[i];
      continue;
    }
    if (++i == field.size()) {
      ok = false;
      break;
    }
    switch (field[i]) {
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 't':
        bytes += '\t';
        break;
      case '\\':
        bytes += '\\';
        break;
      case '"':
        bytes += '"';
        break;
      case 'x': {
        int high = i + 1 < field.size() ? HexDigit(field[i + 1]) : -1;
        int low = i + 2 < field.size() ? HexDigit(field[i + 2]) : -1;
        if (high < 0 || low < 0) {
          ok = false;
          return bytes;
        }
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        ok = false;
        return bytes;
    }
  }
  return bytes;
}

struct Vector {
  std::string name, ini, section, key, defaultValue, function, expected, count;
  bool noFile = false;
};

std::vector<Vector> LoadVectors() {
  std::ifstream in(std::string(VN_TEST_DATA_DIR) + "/ini-vectors.tsv", std::ios::binary);
  std::vector<Vector> vectors;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      std::size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    EXPECT_EQ(fields.size(), 8u) << line;
    if (fields.size() != 8) continue;
    bool ok = true;
    Vector v;
    v.name = fields[0];
    v.noFile = fields[1] == "(no file)";
    v.ini = v.noFile ? "" : Unescape(fields[1], ok);
    v.section = Unescape(fields[2], ok);
    v.key = Unescape(fields[3], ok);
    v.defaultValue = Unescape(fields[4], ok);
    v.function = fields[5];
    v.expected = Unescape(fields[6], ok);
    v.count = fields[7];
    EXPECT_TRUE(ok) << "bad escape in " << v.name;
    vectors.push_back(v);
  }
  return vectors;
}

TEST(ProfileReader, AgreesWithRecordedWindowsBehaviour) {
  std::vector<Vector> vectors = LoadVectors();
  ASSERT_FALSE(vectors.empty()) << "no vectors read from " << VN_TEST_DATA_DIR;
  TempFolder folder;
  int serial = 0;
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.name);
    std::string file = "case" + std::to_string(++serial) + ".ini";
    std::string path = v.noFile ? folder.PathOf(file) : folder.Write(file, v.ini);
    if (v.function == "string") {
      char buffer[260];
      std::uint32_t count =
          platform::GetProfileString(v.section.c_str(), v.key.c_str(), v.defaultValue.c_str(),
                                     buffer, sizeof buffer, path.c_str());
      EXPECT_EQ(std::string(buffer), v.expected);
      EXPECT_EQ(std::to_string(count), v.count);
    } else {
      ASSERT_EQ(v.function, "int");
      std::uint32_t value = platform::GetProfileInt(v.section.c_str(), v.key.c_str(),
                                                    std::stoi(v.defaultValue), path.c_str());
      EXPECT_EQ(std::to_string(value), v.expected);
    }
  }
}

// Settings files saved as "Unicode" (UTF-16 with a byte order mark) read like plain ones.
TEST(ProfileReader, ReadsUtf16Files) {
  const std::string text = "[main]\r\nk = \"C:\\fw\\usb.bin\"\r\n";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char c : text) {
    little += c;
    little += '\0';
    big += '\0';
    big += c;
  }
  TempFolder folder;
  for (const std::string& bytes : {little, big}) {
    std::string path = folder.Write(bytes == little ? "le.ini" : "be.ini", bytes);
    char buffer[260];
    EXPECT_EQ(platform::GetProfileString("MAIN", "K", "None", buffer, sizeof buffer, path.c_str()),
              13u);
    EXPECT_STREQ(buffer, "C:\\fw\\usb.bin");
  }
}

#if !defined(_WIN32)
// Files no editor writes: our own reader must survive them and take time in proportion to their
// size (on Windows the platform's reader is used, so this is ours alone). The key sought sits at
// the very end, so every byte before it is scanned.
TEST(ProfileReader, TakesAnyFileInLinearTime) {
  using namespace std::string_literals;
  std::string garbage;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 1 << 20; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage += static_cast<char>(seed >> 24);
  }
  const std::string megabyte(1 << 20, 'x');
  std::string unclosedHeaders;  // "[a" lines: each one a header to look for and give up on
  for (int i = 0; i < 1 << 18; ++i) unclosedHeaders += "[a\r";
  std::string tenMegabytes;
  while (tenMegabytes.size() < 10u << 20) tenMegabytes += "[other]\r\nkey=some value here\r\n";

  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"binary garbage", garbage + "\n[main]\nk=v", "v"},
      {"NUL bytes", "\0\0[main]\0\n\0\0\0\n[main]\nk=\0v\n"s, ""},
      {"no final line break", "[main]\r\nk=v", "v"},
      {"megabyte lines", "[main]\r\n" + megabyte + "\r\nk" + megabyte + "=1\r\nk=" + megabyte,
       std::string(259, 'x')},
      // Without any LF every CR ends a line; that must not mean a search for LF per line.
      {"CR line ends", "[main]\r" + unclosedHeaders + "k=v\r", "v"},
      // With an LF at the end, the CRs before it do not end lines: all is one header line.
      {"one long LF line", "[main]\r" + unclosedHeaders + "\nk=v", "v"},
      {"ten megabytes", tenMegabytes + "[main]\r\nk=v\r\n", "v"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = folder.Write("odd.ini", c.bytes);
    char buffer[260];
    auto start = std::chrono::steady_clock::now();
    std::uint32_t count =
        platform::GetProfileString("main", "k", "dflt", buffer, sizeof buffer, path.c_str());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_EQ(count, c.expected.size());
  }
}
#endif

}  // namespace
}  // namespace vn
