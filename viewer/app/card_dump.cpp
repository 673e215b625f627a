// SPDX-License-Identifier: MIT
#include "viewer/app/card_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace lorvane::app {
namespace {

using cardimage::Block;
using cardimage::CardService;
using cardimage::CardSystem;
using cardimage::Id8;

constexpr uint16_t kAnySystem = 0xFFFF;
constexpr int32_t kMaxSystems = 255;          // Request System Code reports at most 255
constexpr int32_t kMaxNodes = 0x10000;        // Search Service Code's index has 16 bits
constexpr size_t kMaxBlocks = 256;            // a 2-byte block list element numbers 256 blocks
constexpr uint16_t kEndOfNodes = 0xFFFF;      // the code Search Service Code gives past the end
constexpr uint16_t kServiceEndCode = 0xFFFF;  // what a service has where an area has its end
constexpr size_t kBlockBytes = 16;

std::string Hex4(uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFF));
  return text;
}

// Services whose attribute is odd are read without a key.
bool ReadableWithoutKey(uint16_t code) { return (code & 1) != 0; }

int16_t Status(int32_t result) { return static_cast<int16_t>(result); }

enum class Batch { kRead, kRefused, kLost };

class CardDumper {
 public:
  CardDumper(DumpReader& reader, const std::function<void(const std::string&)>& progress)
      : reader_(reader), progress_(progress) {}

  DumpResult Run() {
    reader_.Open();
    const bool complete = DumpSteps();
    reader_.Close();
    if (!complete) return {std::nullopt, failure_};
    return {std::move(image_), {}};
  }

 private:
  bool DumpSteps() {
    if (!Poll(kAnySystem, image_.idm, &image_.pmm)) return false;
    if (!ListSystems()) return false;
    for (CardSystem& system : image_.systems) {
      if (!DumpSystem(system)) return false;
    }
    return SameCardStillThere();
  }

  // Polls for `systemCode` and takes the IDm (and PMm) of the card that answered.
  bool Poll(uint16_t systemCode, Id8& idm, Id8* pmm) {
    const int16_t status = Status(reader_.REQC(systemCode));
    if (status == FELICA_NOTHING) {
      return Fail(systemCode == kAnySystem
                      ? "no card on the reader"
                      : "the card did not answer a poll of system " + Hex4(systemCode));
    }
    if (status != FELICA_OK)
      return Fail("the reader failed to poll (status " + std::to_string(status) + ")");
    const uint8_t* card = reader_.CurrentCard();
    if (card == nullptr) return Fail("the reader gave no card after a poll");
    std::copy_n(card, idm.size(), idm.begin());
    if (pmm != nullptr) std::copy_n(card + idm.size(), pmm->size(), pmm->begin());
    return true;
  }

  bool ListSystems() {
    for (int32_t i = 0; i < kMaxSystems; ++i) {
      const uint16_t code = reader_.SystemCode(i);
      if (code == FELICA_NO_SYSTEM_CODE) break;
      image_.systems.push_back({code, {}, {}, {}});
    }
    if (image_.systems.empty()) return Fail("the card reported no system");
    return true;
  }

  bool DumpSystem(CardSystem& system) {
    where_ = "system " + Hex4(system.code);
    progress_("system " + Hex4(system.code));
    if (!Poll(system.code, system.idm, nullptr)) return false;
    if (!WalkNodes(system)) return false;
    for (CardService& service : system.services) {
      if (!ReadableWithoutKey(service.code)) continue;
      where_ = "system " + Hex4(system.code) + ", service " + Hex4(service.code);
      if (!ReadService(service)) return false;
      const size_t n = service.blocks.size();
      progress_("  service " + Hex4(service.code) + ": " + std::to_string(n) +
                (n == 1 ? " block" : " blocks"));
    }
    return true;
  }

  bool WalkNodes(CardSystem& system) {
    for (int32_t index = 0; index < kMaxNodes; ++index) {
      uint32_t code = kEndOfNodes, end = 0;
      const int16_t status = Status(reader_.ServiceCode(index, &code, &end));
      const bool pastTheEnd = (code & 0xFFFF) == kEndOfNodes;
      if (pastTheEnd && (status == FELICA_OK || status == FELICA_E_READ)) return true;
      if (status != FELICA_OK) {
        return Fail("the card stopped answering the search of its services (status " +
                    std::to_string(status) + ")");
      }
      if ((end & 0xFFFF) != kServiceEndCode) {
        system.areas.push_back({static_cast<uint16_t>(code), static_cast<uint16_t>(end)});
      } else {
        system.services.push_back({static_cast<uint16_t>(code), {}});
      }
    }
    return true;
  }

  // Batches of 12 blocks while the card gives them all; the batch it refuses holds the
  // service's end, which halving the batch finds.
  bool ReadService(CardService& service) {
    size_t known = 0;  // blocks 0 .. known-1 are read
    size_t past = 0;   // the service has fewer blocks than this; 0 while unknown
    while (past == 0 && known < kMaxBlocks) {
      const size_t count = std::min(kDumpBatchBlocks, kMaxBlocks - known);
      const Batch batch = ReadBatch(service, known, count);
      if (batch == Batch::kLost) return false;
      if (batch == Batch::kRefused) past = known + count;
      if (batch == Batch::kRead) known += count;
    }
    while (past > known + 1) {
      const size_t middle = known + (past - known) / 2;
      const Batch batch = ReadBatch(service, known, middle - known);
      if (batch == Batch::kLost) return false;
      if (batch == Batch::kRefused) past = middle;
      if (batch == Batch::kRead) known = middle;
    }
    return true;
  }

  // Reads `count` blocks from `first` into the service when the card gives them all.
  Batch ReadBatch(CardService& service, size_t first, size_t count) {
    std::vector<BlockRef> refs(count);
    for (size_t i = 0; i < count; ++i) refs[i] = {service.code, static_cast<uint8_t>(first + i)};
    std::vector<uint8_t> data(kBlockBytes * count);
    uint8_t received = static_cast<uint8_t>(count);
    const int16_t status = Status(reader_.Read2(refs.data(), &received, data.data()));
    if (status == FELICA_OK && received == count) {
      for (size_t i = 0; i < count; ++i) {
        Block block;
        std::memcpy(block.data(), &data[kBlockBytes * i], kBlockBytes);
        service.blocks.push_back(block);
      }
      return Batch::kRead;
    }
    if (status == FELICA_OK || status == FELICA_NOTHING || status == FELICA_E_READ)
      return Batch::kRefused;
    where_ += ", block " + std::to_string(first);
    Fail("reading failed (status " + std::to_string(status) + ")");
    return Batch::kLost;
  }

  bool SameCardStillThere() {
    where_.clear();
    const int16_t status = Status(reader_.REQC(kAnySystem));
    const uint8_t* card = status == FELICA_OK ? reader_.CurrentCard() : nullptr;
    if (card == nullptr || !std::equal(image_.idm.begin(), image_.idm.end(), card))
      return Fail("the card left the reader before the dump was complete");
    return true;
  }

  bool Fail(const std::string& why) {
    failure_ = why + (where_.empty() ? "" : " at " + where_);
    return false;
  }

  DumpReader& reader_;
  const std::function<void(const std::string&)>& progress_;
  cardimage::CardImage image_;
  std::string where_;
  std::string failure_;
};

}  // namespace

DumpResult DumpCard(DumpReader& reader, const std::function<void(const std::string&)>& progress) {
  return CardDumper(reader, progress).Run();
}

std::string ScanTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace lorvane::app
