#include "link/printer_info.h"

#include <array>
#include <cstring>

#include "link/printer_link.h"

namespace vn {

namespace {

using EngineInfoRecord = std::array<unsigned char, kEngineRecordSize>;

// Where the fields of one program entry lie, relative to the entry's start.
constexpr int kNameOffset = 0;
constexpr int kNameSize = 8;
constexpr int kTypeOffset = 8;
constexpr int kTypeSize = 16;
constexpr int kDateOffset = 24;
constexpr int kDateSize = 10;
constexpr int kMajorOffset = 34;
constexpr int kMinorOffset = 35;

// The entries that carry the MAIN, DSP, USB and TABLE programs.
constexpr int kMainEntry = 1;
constexpr int kDspEntry = 3;
constexpr int kUsbEntry = 5;
constexpr int kTableEntry = 6;

const unsigned char* Entry(const EngineInfoRecord& record, int entry) {
  return record.data() + 1 + kProgramEntrySize * entry;  // behind the head byte
}

// Opens the link, selects the printer and reads its engine record. Returns the
// ReadPrinterVersions code: on 0 the link is still open for the caller to close; on a failure
// the line has been printed and the link closed.
int ReadEngineRecord(const Host& host, const unsigned char* serial, EngineInfoRecord& record) {
  LinkError err = 0;
  switch (OpenPrinter(host, serial, ErrorLineForm::kLinkLine, err)) {
    case OpenOutcome::kOpenFailed:
      return 1;
    case OpenOutcome::kSelectFailed:
      return 2;
    case OpenOutcome::kSelected:
      break;
  }
  // What the library writes back into the length is of no interest: the record is 267 bytes.
  std::uint32_t length = kEngineRecordSize;
  if (host.link.LinkGetInfo(PINFTAG_ENGID, record.data(), &length) == 0) {
    Print(host, "PINFTAG_ENGID information acquisition failure.\n");
    host.link.LinkClose();
    return 3;
  }
  return 0;
}

}  // namespace

int ReadPrinterVersions(const Host& host, const unsigned char* serial, std::uint32_t* mainMajor,
                        std::uint32_t* mainMinor, std::uint32_t* dspMajor, std::uint32_t* dspMinor,
                        std::uint32_t* usbMajor, std::uint32_t* usbMinor, std::uint32_t* tableMajor,
                        std::uint32_t* tableMinor) {
  EngineInfoRecord record{};
  int result = ReadEngineRecord(host, serial, record);
  if (result != 0) return result;
  *mainMajor = Entry(record, kMainEntry)[kMajorOffset];
  *mainMinor = Entry(record, kMainEntry)[kMinorOffset];
  *dspMajor = Entry(record, kDspEntry)[kMajorOffset];
  *dspMinor = Entry(record, kDspEntry)[kMinorOffset];
  *usbMajor = Entry(record, kUsbEntry)[kMajorOffset];
  *usbMinor = Entry(record, kUsbEntry)[kMinorOffset];
  *tableMajor = Entry(record, kTableEntry)[kMajorOffset];
  *tableMinor = Entry(record, kTableEntry)[kMinorOffset];
  host.link.LinkClose();
  return 0;
}

void PrintSectionHeader(const Host& host, int section) {
  switch (section) {
    case 1:
      Print(host, "----- MAIN -----\n");
      break;
    case 2:
      Print(host, "\n");
      Print(host, "----- DSP -----\n");
      break;
    case 3:
      Print(host, "\n");
      Print(host, "----- USB -----\n");
      break;
    case 4:
      Print(host, "\n");
      Print(host, "----- TABLE -----\n");
      break;
    default:
      break;
  }
}

bool PrintFirmwareReport(const Host& host, const unsigned char* serial) {
  // Each field is copied at its full width into a zeroed buffer wider than any field, so a text
  // ends at its first zero byte or at the field's width, never beyond.
  std::array<char, 20> name{};
  std::array<char, 20> type{};
  std::array<char, 20> date{};
  EngineInfoRecord record{};
  if (ReadEngineRecord(host, serial, record) != 0) return false;
  Print(host, "verifying the information on the upgraded firmware.\n\n");
  constexpr int kSections[][2] = {
      {1, kMainEntry}, {2, kDspEntry}, {3, kUsbEntry}, {4, kTableEntry}};
  for (const auto& [section, entry] : kSections) {
    const unsigned char* program = Entry(record, entry);
    PrintSectionHeader(host, section);
    std::memcpy(name.data(), program + kNameOffset, kNameSize);
    Print(host, "Program Name  = %.8s\n", name.data());
    std::memcpy(type.data(), program + kTypeOffset, kTypeSize);
    Print(host, "Program Type  = %.16s\n", type.data());
    std::memcpy(date.data(), program + kDateOffset, kDateSize);
    Print(host, "Create Date   = %.10s\n", date.data());
    Print(host, "Version       = %.2x.%.2x \n", static_cast<unsigned>(program[kMajorOffset]),
          static_cast<unsigned>(program[kMinorOffset]));
  }
  host.link.LinkClose();
  return true;
}

}  // namespace vn
