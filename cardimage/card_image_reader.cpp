// SPDX-License-Identifier: MIT
#include "cardimage/card_image_reader.h"

#include <algorithm>
#include <cstring>

namespace lorvane::cardimage {

int32_t CardImageReader::ReaderREQC(uint32_t systemCode) {
  current_.reset();
  const auto requested = static_cast<uint16_t>(systemCode);
  for (size_t i = 0; i < image_.systems.size(); ++i) {
    if (!SystemCodeMatches(requested, image_.systems[i].code)) continue;
    current_ = i;
    std::copy(image_.systems[i].idm.begin(), image_.systems[i].idm.end(), identity_.begin());
    std::copy(image_.pmm.begin(), image_.pmm.end(), identity_.begin() + 8);
    return 0;
  }
  return kNoCard;
}

int32_t CardImageReader::ReaderSetCurrentCard(uint32_t /*index*/, const uint8_t** card) {
  if (card != nullptr) *card = current_ ? identity_.data() : nullptr;
  return 0;
}

int32_t CardImageReader::ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) {
  if (!current_) return kCardDetached;
  const CardService* service =
      image_.systems[*current_].FindService(static_cast<uint16_t>(serviceCode));
  if (service == nullptr || service->blocks.empty()) return kNoCard;
  const size_t number = block & 0xFFu;
  if (number >= service->blocks.size()) return kReadFailed;
  if (data != nullptr) std::memcpy(data, service->blocks[number].data(), 16);
  return 0;
}

}  // namespace lorvane::cardimage
