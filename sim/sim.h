// The printer simulator: a bench of virtual printers behind the ten operations of the maker's
// link library. The shared library exports these operations; benchmarks and tests may link the
// model in-process and call them through EntryPoints().
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/link_api.h"

namespace vn::sim {

// Where the simulator writes; an empty path keeps nothing.
struct Options {
  std::string journal;       // journal file, appended line by line
  std::string images;        // existing folder for the received images
  std::string state;         // state file, read when present and rewritten after every change
  bool keepJournal = false;  // also keep the journal lines in memory (JournalLines())
};

// Installs a bench from bench text instead of the environment and resets every printer and
// counter. False with "<source>:<line>: <what>" when the text (or the state file) is not
// understood; LinkOpen then fails until the next load or Reset().
bool LoadBench(std::string_view text, const Options& options, std::string& error);

// Forgets the bench and all state: the next call reads the environment again.
void Reset();

// The ten operations.
LinkEntryPoints EntryPoints();

// Journal lines since the last load, when Options::keepJournal was set.
const std::vector<std::string>& JournalLines();

int VN_LINKCALL LinkOpen(int port, unsigned short* err);
int VN_LINKCALL LinkClose(void);
int VN_LINKCALL LinkEnumPrinters(unsigned char* list);
int VN_LINKCALL LinkSelectPrinter(const unsigned char* serial, unsigned short* err);
int VN_LINKCALL LinkGetInfo(int tag, unsigned char* buffer, unsigned int* length);
int VN_LINKCALL LinkSetInfo(int tag, unsigned char* buffer, unsigned int* length,
                            unsigned short* err);
int VN_LINKCALL LinkGetStatus(unsigned short* status);
int VN_LINKCALL LinkBeginDownload(int target, unsigned int address, unsigned int size,
                                  unsigned short* err);
int VN_LINKCALL LinkSendBlock(unsigned char* buffer, unsigned int* count, unsigned short* err);
int VN_LINKCALL LinkEndDownload(unsigned short* err);

}  // namespace vn::sim
