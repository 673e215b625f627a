// SPDX-License-Identifier: MIT
#include "viewer/app/card_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace lorvane::app {
namespace {

using cardimage::Block;
using cardimage::CardService;
using cardimage::CardSystem;
using cardimage::Id8;

constexpr uint16_t kAnySystem = 0xFFFF;
constexpr int32_t kMaxSystems = 255;          // Request System Code reports at most 255
constexpr size_t kMaxBlocks = 256;            // a 2-byte block list element numbers 256 blocks
constexpr uint16_t kEndOfNodes = 0xFFFF;      // the code Search Service Code gives past the end
constexpr uint16_t kServiceEndCode = 0xFFFF;  // what a service has where an area has its end
constexpr unsigned kNodeNumberShift = 6;      // a node code is its number and 6 attribute bits
constexpr size_t kBlockBytes = 16;
// A refusal is believed when the card gave it this many times in a row, answering a poll
// after each; a command is tried this many times in all before the dump gives up.
constexpr int kRefusalsBelieved = 2;
constexpr int kAttemptsPerCommand = 4;

std::string Hex4(uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFF));
  return text;
}

// Services whose attribute is odd are read without a key.
bool ReadableWithoutKey(uint16_t code) { return (code & 1) != 0; }

int16_t Status(int32_t result) { return static_cast<int16_t>(result); }

std::string Duration(std::chrono::milliseconds span) {
  if (span.count() % 1000 != 0) return std::to_string(span.count()) + " ms";
  return std::to_string(span.count() / 1000) + " s";
}

std::string StatusPart(int16_t status) { return "(status " + std::to_string(status) + ")"; }

enum class Batch { kRead, kRefused, kLost };
// What one try of a command came to: done, refused by the card, or failed on the way.
enum class Try { kDone, kRefused, kFailed };
// What a poll of the card's IDm found.
enum class Presence { kSame, kAbsent, kOther };

struct Node {
  uint16_t code = kEndOfNodes;
  uint16_t end = kServiceEndCode;
  bool pastTheEnd = false;
};

class CardDumper {
 public:
  CardDumper(DumpReader& reader, const std::function<void(const std::string&)>& progress,
             const DumpLimits& limits)
      : reader_(reader), progress_(progress), limits_(limits) {}

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
    if (status != FELICA_OK) return Fail("the reader failed to poll " + StatusPart(status));
    const uint8_t* card = reader_.CurrentCard();
    if (card == nullptr) return Fail("the reader gave no card after a poll");
    std::copy_n(card, idm.size(), idm.begin());
    if (pmm != nullptr) std::copy_n(card + idm.size(), pmm->size(), pmm->begin());
    return true;
  }

  // The poll that starts a system waits for a card lifted a moment ago to come back.
  bool PollSystem(CardSystem& system) {
    const auto deadline = std::chrono::steady_clock::now() + limits_.cardReturn;
    while (Status(reader_.REQC(system.code)) == FELICA_NOTHING &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(limits_.pollPause);
    }
    return Poll(system.code, system.idm, nullptr);
  }

  bool ListSystems() {
    for (int32_t i = 0; i < kMaxSystems; ++i) {
      const uint16_t code = reader_.SystemCode(i);
      if (code == FELICA_NO_SYSTEM_CODE) break;
      const auto same = [code](const CardSystem& s) { return s.code == code; };
      if (std::any_of(image_.systems.begin(), image_.systems.end(), same))
        return Fail("the card reported system " + Hex4(code) + " twice");
      image_.systems.push_back({code, {}, {}, {}});
    }
    if (image_.systems.empty()) return Fail("the card reported no system");
    return true;
  }

  bool DumpSystem(CardSystem& system) {
    system_ = &system;
    where_ = "system " + Hex4(system.code);
    progress_("system " + Hex4(system.code));
    if (!PollSystem(system)) return false;
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

  // The areas and services in the order the card's search gives them, which is the order
  // of their numbers; an entry seen before, a number lower than the one before or more
  // entries than a card can hold are nonsense that would never end.
  bool WalkNodes(CardSystem& system) {
    uint32_t lastNumber = 0;
    for (int32_t index = 0; index <= kMaxNodesPerSystem; ++index) {
      Node node;
      if (!SearchNode(index, node)) return false;
      if (node.pastTheEnd) return true;
      const uint32_t number = node.code >> kNodeNumberShift;
      if (SeenNode(system, node.code))
        return Fail("the card's search of its services gave " + Hex4(node.code) + " twice");
      if (number < lastNumber)
        return Fail("the card's search of its services went back to " + Hex4(node.code));
      lastNumber = number;
      if (node.end != kServiceEndCode) {
        system.areas.push_back({node.code, node.end});
      } else {
        system.services.push_back({node.code, {}});
      }
    }
    return Fail("the card's search of its services went past " +
                std::to_string(kMaxNodesPerSystem) + " entries");
  }

  static bool SeenNode(const CardSystem& system, uint16_t code) {
    const auto same = [code](const auto& node) { return node.code == code; };
    return std::any_of(system.areas.begin(), system.areas.end(), same) ||
           std::any_of(system.services.begin(), system.services.end(), same);
  }

  // One entry of the search; a failure while the card was away is tried again once it is
  // back.
  bool SearchNode(int32_t index, Node& node) {
    int16_t status = FELICA_OK;
    for (int attempt = 0; attempt < kAttemptsPerCommand; ++attempt) {
      uint32_t code = kEndOfNodes, end = kServiceEndCode;
      status = Status(reader_.ServiceCode(index, &code, &end));
      node = {static_cast<uint16_t>(code), static_cast<uint16_t>(end), false};
      node.pastTheEnd = node.code == kEndOfNodes;
      if (status == FELICA_OK || (node.pastTheEnd && status == FELICA_E_READ)) return true;
      if (!CardBackAfterFailure()) return false;
    }
    return Fail("the card stopped answering the search of its services " + StatusPart(status));
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

  // Reads `count` blocks from `first` into the service. A refusal is believed when the
  // card gave it twice in a row and answered a poll after each; a read that failed while
  // the card was away is read again once it is back.
  Batch ReadBatch(CardService& service, size_t first, size_t count) {
    int refusals = 0;
    int16_t status = FELICA_OK;
    for (int attempt = 0; attempt < kAttemptsPerCommand; ++attempt) {
      const Try outcome = TryBatch(service, first, count, status);
      if (outcome == Try::kDone) return Batch::kRead;
      const Presence presence = PollCard();
      if (presence == Presence::kSame && outcome == Try::kRefused) {
        if (++refusals == kRefusalsBelieved) return Batch::kRefused;
        continue;
      }
      refusals = 0;
      if (!CardBack(presence)) return Batch::kLost;
    }
    where_ += ", block " + std::to_string(first);
    Fail("reading failed " + StatusPart(status));
    return Batch::kLost;
  }

  Try TryBatch(CardService& service, size_t first, size_t count, int16_t& status) {
    std::vector<BlockRef> refs(count);
    for (size_t i = 0; i < count; ++i) refs[i] = {service.code, static_cast<uint8_t>(first + i)};
    std::vector<uint8_t> data(kBlockBytes * count);
    uint8_t received = static_cast<uint8_t>(count);
    status = Status(reader_.Read2(refs.data(), &received, data.data()));
    if (status == FELICA_OK && received == count) {
      for (size_t i = 0; i < count; ++i) {
        Block block;
        std::memcpy(block.data(), &data[kBlockBytes * i], kBlockBytes);
        service.blocks.push_back(block);
      }
      return Try::kDone;
    }
    const bool refused = status == FELICA_NOTHING || status == FELICA_E_READ;
    return refused && received == 0 ? Try::kRefused : Try::kFailed;
  }

  // Polls the system being dumped and tells whether its card is the one that answered.
  Presence PollCard() {
    if (Status(reader_.REQC(system_->code)) != FELICA_OK) return Presence::kAbsent;
    const uint8_t* card = reader_.CurrentCard();
    if (card == nullptr) return Presence::kAbsent;
    return std::equal(system_->idm.begin(), system_->idm.end(), card) ? Presence::kSame
                                                                      : Presence::kOther;
  }

  bool CardBackAfterFailure() { return CardBack(PollCard()); }

  // Whether the card is there to try again: at once, or after it left and came back within
  // the time limit. Another card ends the dump.
  bool CardBack(Presence presence) {
    const auto deadline = std::chrono::steady_clock::now() + limits_.cardReturn;
    while (presence == Presence::kAbsent && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(limits_.pollPause);
      presence = PollCard();
    }
    if (presence == Presence::kOther) return Fail("another card was laid on the reader");
    if (presence == Presence::kAbsent) {
      return Fail("the card left the reader and did not come back within " +
                  Duration(limits_.cardReturn));
    }
    return true;
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
  const DumpLimits& limits_;
  cardimage::CardImage image_;
  CardSystem* system_ = nullptr;
  std::string where_;
  std::string failure_;
};

}  // namespace

DumpResult DumpCard(DumpReader& reader, const std::function<void(const std::string&)>& progress,
                    const DumpLimits& limits) {
  return CardDumper(reader, progress, limits).Run();
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
