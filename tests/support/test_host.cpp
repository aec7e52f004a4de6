#include "test_host.h"

#include <algorithm>
#include <cstring>

#include "bench.h"

namespace vn::test {

std::array<unsigned char, 267> MakeEngineRecord(const char* board, int mainMajor, int mainMinor,
                                                int dspMajor, int dspMinor, int usbMajor,
                                                int usbMinor, int tableMajor, int tableMinor) {
  std::array<unsigned char, 267> record{};
  std::memcpy(&record[1], board, std::min<std::size_t>(std::strlen(board), 8));
  auto version = [&record](int entry, int major, int minor) {
    record[1 + 38 * entry + 34] = static_cast<unsigned char>(major);
    record[1 + 38 * entry + 35] = static_cast<unsigned char>(minor);
  };
  version(1, mainMajor, mainMinor);
  version(3, dspMajor, dspMinor);
  version(5, usbMajor, usbMinor);
  version(6, tableMajor, tableMinor);
  return record;
}

// A fault that makes the call report failure.
static bool Fails(FakeLink::Fault fault) {
  return fault == FakeLink::Fault::kErrorCode || fault == FakeLink::Fault::kZeroResult;
}

bool FakeLink::Scripted(const std::string& op, Reply& reply) {
  auto it = script.find(op);
  if (it == script.end() || it->second.empty()) return false;
  reply = it->second.front();
  it->second.pop_front();
  return true;
}

void FakeLink::Require(bool condition, const std::string& what) {
  if (!condition) violations.push_back(what);
}

int FakeLink::CountCalls(const std::string& op) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&op](const std::string& c) {
    return c.compare(0, op.size(), op) == 0;
  }));
}

LinkApi FakeLink::Bind() {
  LinkApi api;
  api.LinkOpen = [this](int port, LinkError* err) {
    calls.push_back("LinkOpen");
    Require(port == -1, "LinkOpen with a port other than -1");
    Require(!open, "LinkOpen while the link is open");
    if (Fails(FaultNow())) {
      if (FaultNow() == Fault::kErrorCode) *err = failCode;
      return 0;
    }
    Reply reply;
    if (Scripted("LinkOpen", reply) && reply.result == 0) {
      *err = reply.err;
      return 0;
    }
    open = true;
    selected = -1;
    return reply.result;
  };
  api.LinkClose = [this]() {
    calls.push_back("LinkClose");
    Require(!inDownload_, "LinkClose inside a download");
    open = false;
    selected = -1;
    return Fails(FaultNow()) ? 0 : 1;
  };
  api.LinkEnumPrinters = [this](unsigned char* list) {
    calls.push_back("LinkEnumPrinters");
    Require(open, "LinkEnumPrinters on a closed link");
    if (Fails(FaultNow())) return 0;
    Reply reply;
    if (Scripted("LinkEnumPrinters", reply)) return reply.result;
    for (std::size_t i = 0; i < printers.size(); ++i) {
      std::memcpy(list + 8 * i, printers[i].serial.data(), 8);
    }
    return enumResult >= 0 ? enumResult : static_cast<int>(printers.size());
  };
  api.LinkSelectPrinter = [this](const unsigned char* serial, LinkError* err) {
    calls.push_back("LinkSelectPrinter(" + sim::EscapeText(serial, kPrinterSerialSize) + ")");
    Require(open, "LinkSelectPrinter on a closed link");
    if (FaultNow() == Fault::kErrorCode) {
      *err = failCode;
      return 0;
    }
    Reply reply;
    if (Scripted("LinkSelectPrinter", reply)) {
      *err = reply.err;
      return reply.result;
    }
    for (std::size_t i = 0; i < printers.size(); ++i) {
      if (std::memcmp(printers[i].serial.data(), serial, 8) == 0) {
        selected = static_cast<int>(i);
        *err = 0;
        return FaultNow() == Fault::kZeroResult ? 0 : 1;
      }
    }
    *err = 1008;
    return 0;
  };
  api.LinkGetInfo = [this](int tag, unsigned char* buffer, std::uint32_t* length) {
    calls.push_back("LinkGetInfo(" + std::to_string(tag) + ")");
    Require(open && selected >= 0, "LinkGetInfo without a selected printer");
    if (Fails(FaultNow())) return 0;
    Reply reply;
    if (Scripted("LinkGetInfo", reply) && reply.result != 1) return reply.result;
    if (FaultNow() == Fault::kResultTwo) reply.result = 2;
    if (selected < 0) return 0;
    FakePrinter& p = printers[static_cast<std::size_t>(selected)];
    if (tag == PINFTAG_ENGID) {
      Require(*length >= 267, "LinkGetInfo(3) with a buffer under 267 bytes");
      std::memcpy(buffer, p.engine.data(), 267);
      *length = 267;
    } else if (tag == PINFTAG_DENSITY_LAMI) {
      Require(*length == 4, "LinkGetInfo(74) with a length other than 4");
      std::memcpy(buffer, &p.density, 4);
    } else {
      return 0;
    }
    return reply.result;
  };
  api.LinkSetInfo = [this](int tag, unsigned char* buffer, std::uint32_t* length, LinkError* err) {
    std::uint32_t value = 0;
    if (*length >= 4) std::memcpy(&value, buffer, 4);
    calls.push_back("LinkSetInfo(" + std::to_string(tag) + "," + std::to_string(value) + ")");
    Require(open && selected >= 0, "LinkSetInfo without a selected printer");
    Require(*length == 4, "LinkSetInfo with a length other than 4");
    if (Fails(FaultNow())) {
      if (FaultNow() == Fault::kErrorCode) *err = failCode;
      return 0;
    }
    Reply reply;
    if (Scripted("LinkSetInfo", reply) && reply.result != 1) {
      *err = reply.err;
      return reply.result;
    }
    if (selected < 0 || tag != PINFTAG_DENSITY_LAMI) {
      *err = 1006;
      return 0;
    }
    printers[static_cast<std::size_t>(selected)].density = value;
    return FaultNow() == Fault::kResultTwo ? 2 : reply.result;
  };
  api.LinkGetStatus = [this](PrinterStatus* status) {
    calls.push_back("LinkGetStatus");
    Require(open && selected >= 0, "LinkGetStatus without a selected printer");
    if (FaultNow() == Fault::kStatusUnwritten) return 1;
    Reply reply;
    if (Scripted("LinkGetStatus", reply)) return reply.result;  // writes nothing
    if (selected < 0) return 0;
    auto& readings = printers[static_cast<std::size_t>(selected)].statuses;
    *status = readings.empty() ? 0 : readings.front();
    if (readings.size() > 1) readings.pop_front();
    return Fails(FaultNow()) ? 0 : 1;
  };
  api.LinkBeginDownload = [this](int target, std::uint32_t address, std::uint32_t size,
                                 LinkError* err) {
    calls.push_back("LinkBeginDownload(" + std::to_string(target) + "," + std::to_string(address) +
                    "," + std::to_string(size) + ")");
    Require(open && selected >= 0, "LinkBeginDownload without a selected printer");
    Require(!inDownload_, "LinkBeginDownload inside a download");
    if (Fails(FaultNow())) {
      if (FaultNow() == Fault::kErrorCode) *err = failCode;
      return 0;
    }
    Reply reply;
    if (Scripted("LinkBeginDownload", reply) && reply.result == 0) {
      *err = reply.err;
      return 0;
    }
    inDownload_ = true;
    downloadSize_ = size;
    downloads.emplace_back();
    downloadTargets.push_back(target);
    downloadPrinters.push_back(selected);
    return reply.result;
  };
  api.LinkSendBlock = [this](unsigned char* buffer, std::uint32_t* count, LinkError* err) {
    calls.push_back("LinkSendBlock(" + std::to_string(*count) + ")");
    Require(inDownload_, "LinkSendBlock outside a download");
    if (Fails(FaultNow())) {
      if (FaultNow() == Fault::kErrorCode) *err = failCode;
      return 0;
    }
    Reply reply;
    if (Scripted("LinkSendBlock", reply) && reply.result == 0) {
      *err = reply.err;
      return 0;
    }
    std::uint32_t offered = *count;
    std::uint32_t taken = offered;
    if (!sendCounts.empty()) {
      taken = sendCounts.front();
      sendCounts.pop_front();
    }
    if (inDownload_) {
      // The library keeps its place: it is handed the buffer start on every call.
      auto& image = downloads.back();
      std::uint32_t place = static_cast<std::uint32_t>(image.size());
      std::uint32_t copy = std::min(taken, offered);
      if (place < downloadSize_)
        copy = std::min(copy, downloadSize_ - place);
      else
        copy = 0;
      image.insert(image.end(), buffer + place, buffer + place + copy);
    }
    *count = taken;
    return reply.result;
  };
  api.LinkEndDownload = [this](LinkError* err) {
    calls.push_back("LinkEndDownload");
    *err = FaultNow() == Fault::kErrorCode ? failCode : 0;
    inDownload_ = false;
    return Fails(FaultNow()) ? 0 : 1;
  };
  return api;
}

TestHost::TestHost() {
  host.link = link.Bind();
  host.tickCount = [this]() { return clock.Tick(); };
  host.sleep = [this](std::uint32_t ms) { clock.Sleep(ms); };
  host.write = [this](std::string_view text) { out.append(text); };
  host.isNtPlatform = [this]() { return nt; };
  host.clearConsole = [this]() { ++clears; };
  host.loadLinkLibrary = [this](LinkApi& api, std::string& reason) {
    if (!linkLoads) {
      reason = linkLoadReason;
      return false;
    }
    api = link.Bind();
    return true;
  };
}

}  // namespace vn::test
