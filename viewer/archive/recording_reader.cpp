// SPDX-License-Identifier: MIT
#include "viewer/archive/recording_reader.h"

#include <algorithm>
#include <cstring>

namespace lorvane::archive {
namespace {

constexpr uint32_t kStatusMask = 0xFFFF;
// A card with several systems gives each its own IDm, the system's number in the upper
// nibble of the first byte; system 0's is the card's own.
constexpr uint8_t kSystemNumberMask = 0xF0;

}  // namespace

int32_t RecordingReader::ReaderREQC(uint32_t systemCode) {
  const int32_t status = reader_.ReaderREQC(systemCode);
  polledCard_ = (status & kStatusMask) == 0;
  polled_ = static_cast<uint16_t>(systemCode);
  return status;
}

int32_t RecordingReader::ReaderSetCurrentCard(uint32_t index, const uint8_t** card) {
  const int32_t status = reader_.ReaderSetCurrentCard(index, card);
  if (polledCard_ && card != nullptr && *card != nullptr) NoteSystem(*card);
  return status;
}

void RecordingReader::NoteSystem(const uint8_t* identity) {
  StoredSystem system{polled_, {}};
  std::memcpy(system.idm.data(), identity, system.idm.size());
  const bool known = std::any_of(read_.systems.begin(), read_.systems.end(),
                                 [&](const StoredSystem& s) { return s.code == polled_; });
  if (!known) read_.systems.push_back(system);
  const bool primary = (identity[0] & kSystemNumberMask) == 0;
  if (!sawCard_ || (primary && (read_.idm[0] & kSystemNumberMask) != 0)) {
    std::memcpy(read_.idm.data(), identity, read_.idm.size());
    std::memcpy(read_.pmm.data(), identity + read_.idm.size(), read_.pmm.size());
  }
  sawCard_ = true;
}

int32_t RecordingReader::ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) {
  const int32_t status = reader_.ReaderRead(serviceCode, block, data);
  if (status == 0 && data != nullptr && sawCard_) {
    StoredBlock stored{
        polled_, static_cast<uint16_t>(serviceCode), static_cast<uint16_t>(block), {}};
    std::memcpy(stored.data.data(), data, stored.data.size());
    const bool again = std::any_of(read_.blocks.begin(), read_.blocks.end(), [&](const auto& b) {
      return b.system == stored.system && b.service == stored.service && b.number == stored.number;
    });
    if (!again) read_.blocks.push_back(stored);
  }
  return status;
}

}  // namespace lorvane::archive
