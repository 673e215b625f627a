// SPDX-License-Identifier: MIT
// Reading the blocks of a card definition through a reader.
#include <cstring>
#include <exception>

#include "viewer/carddef/card_definition.h"

namespace lorvane::carddef {
namespace {

constexpr uint16_t kReaderUnavailable = 0xFFF5;  // -11 from a poll
constexpr size_t kMaxBlocksPerRead = 255;

}  // namespace

int32_t CardDefinition::ReadCard(CardReader& reader) {
  if (!loaded_) return kReadNotLoaded;
  if (const int16_t status = ClearReadResults(); status != 0) return status;
  try {
    if (const int32_t status = ReadBlocks(reader); status != 0) return status;
    DecodeRecords();
    return 0;
  } catch (const std::exception&) {
    return kOtherFailure;
  }
}

int32_t CardDefinition::ReadBlocks(CardReader& reader) {
  size_t k = 0;
  size_t base = 0;
  for (size_t s = 0; s < kMaxSystems && systems_[s].systemCode != 0; ++s) {
    const int32_t polled = reader.ReaderREQC(systems_[s].systemCode);
    if ((polled & 0xFFFF) != 0)
      return (polled & 0xFFFF) == kReaderUnavailable ? kReadReaderGone : polled;
    const uint8_t* card = nullptr;
    reader.ReaderSetCurrentCard(0, &card);
    if (card != nullptr) std::memcpy(idm_.data(), card, idm_.size());
    for (size_t e = base; e < base + systems_[s].serviceCount && e < serviceEntryCount_; ++e) {
      const size_t blocks = services_[e].blockCount & 0xFFu;
      for (size_t b = 0; b < blocks; ++b) {
        // The plan and blockData bound the walk; a definition reads at most 255 blocks.
        if (k >= readPlan_.size() || (k + 1) * kBlockSize > blockData_.size() ||
            k >= kMaxBlocksPerRead) {
          break;
        }
        const ReadPlanEntry& ref = readPlan_[k];
        const int32_t status =
            reader.ReaderRead(ref.serviceCode, ref.blockNumber, &blockData_[k * kBlockSize]);
        if (status != 0) return status;
        ++k;
      }
    }
    base += systems_[s].serviceCount;
  }
  return 0;
}

}  // namespace lorvane::carddef
