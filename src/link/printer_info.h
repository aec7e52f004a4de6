// The printer's engine information record: the installed program versions that the upgrade
// compares against, and the verification report printed after an upgrade.
#pragma once

#include <cstdint>

#include "host.h"

namespace vn {

constexpr int kEngineRecordSize = 267;  // one head byte and seven 38-byte program entries
constexpr int kProgramEntrySize = 38;

// Reads the MAIN, DSP, USB and TABLE versions of the printer `serial` (8 bytes). Returns 0 with
// all eight outputs written; 1 LinkOpen failed, 2 LinkSelectPrinter failed, 3 LinkGetInfo
// failed, each after printing its line (outputs untouched). Opens and closes its own link.
int ReadPrinterVersions(const Host& host, const unsigned char* serial, std::uint32_t* mainMajor,
                        std::uint32_t* mainMinor, std::uint32_t* dspMajor, std::uint32_t* dspMinor,
                        std::uint32_t* usbMajor, std::uint32_t* usbMinor, std::uint32_t* tableMajor,
                        std::uint32_t* tableMinor);

// Prints the verification report of the printer's MAIN, DSP, USB and TABLE entries. Returns
// false when the record could not be read (the failure line has been printed).
bool PrintFirmwareReport(const Host& host, const unsigned char* serial);

// The head of one report section: 1 MAIN, 2 DSP, 3 USB, 4 TABLE; other values print nothing.
void PrintSectionHeader(const Host& host, int section);

}  // namespace vn
