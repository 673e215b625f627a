// SPDX-License-Identifier: MIT
#include "plugins/cardimage/card_image_driver.h"

#include <algorithm>
#include <cstring>

#include "plugins/cardimage/reader_presence.h"

namespace lorvane::cardimageplugin {
namespace {

constexpr size_t kBatch = 12;
constexpr size_t kBlockBytes = 16;

bool Writable(uint16_t code) {
  const unsigned attribute = code & 0x3F;
  return attribute == 0x09 || attribute == 0x0D;
}

}  // namespace

int16_t CardImageDriver::Initialize() {
  entryName_.clear();
  if (source_ == ImageSource::kSample && SmartCardReaderAttached())
    return FELICA_E_LIST_READERS;  // a real reader serves
  std::string error;
  image_ = cardimage::LoadCardImage(imagePath_, error);
  if (!image_) return FELICA_E_LIST_READERS;  // no image: no reader
  entryName_ = "\"" FELICA_CARD_IMAGE_GROUP "\"\"" + imagePath_.string() + "\"";
  return 0;
}

void CardImageDriver::WriteSettingsData(char* data) const {
  std::memset(data, 0, FELICA_SETTING_BYTES);
  if (source_ != ImageSource::kUser) return;
  const std::string path = imagePath_.string();
  std::memcpy(data, path.data(), std::min<size_t>(path.size(), FELICA_SETTING_BYTES - 1));
}

const char* CardImageDriver::ReaderName(uint32_t index) const {
  return index == 0 && !entryName_.empty() ? entryName_.c_str() : nullptr;
}

// A name is the path of the image to serve (unless the environment names one); an image
// that cannot be read is no reader.
int16_t CardImageDriver::Open(const char* name) {
  if (open_) return FELICA_ALREADY_OPEN;
  if (name != nullptr && *name != '\0' && source_ != ImageSource::kEnvironment) {
    Choose(name);
    if (Initialize() < 0) return FELICA_E_CONNECT;
  } else if (const int16_t status = Initialize(); status < 0) {
    return status;
  }
  open_ = true;
  return 0;
}

int16_t CardImageDriver::Close() {
  open_ = false;
  if (cardActive_) systemCodes_.clear();
  cardActive_ = false;
  return 0;
}

int16_t CardImageDriver::Poll(uint16_t systemCode) {
  cardActive_ = false;
  if (const int16_t status = Open(nullptr); status < 0) return status;
  system_.reset();
  for (size_t i = 0; i < image_->systems.size(); ++i) {
    if (!cardimage::SystemCodeMatches(systemCode, image_->systems[i].code)) continue;
    system_ = i;
    std::copy(image_->systems[i].idm.begin(), image_->systems[i].idm.end(), identity_.begin());
    std::copy(image_->pmm.begin(), image_->pmm.end(), identity_.begin() + 8);
    cardActive_ = true;
    systemCodes_.clear();
    for (const auto& s : image_->systems) systemCodes_.push_back(s.code);
    return 0;
  }
  return FELICA_NOTHING;
}

const uint8_t* CardImageDriver::SetCurrentCard(uint8_t index) {
  cardActive_ = system_.has_value() && index == 0;
  return system_ ? identity_.data() : nullptr;
}

uint16_t CardImageDriver::SystemCode(uint32_t index) const {
  return index < systemCodes_.size() ? systemCodes_[index] : 0xFFFF;
}

int16_t CardImageDriver::ServiceCode(uint16_t index, uint32_t* code, uint32_t* endCode) const {
  if (!cardActive_) return FELICA_E_NO_CARD;
  if (code == nullptr || endCode == nullptr) return FELICA_E_PARAMETER;
  const auto nodes = cardimage::SearchOrder(image_->systems[*system_]);
  *code = 0xFFFF;
  *endCode = 0;
  if (index >= nodes.size()) {  // the card answers FF FF, as a service
    *endCode = 0xFFFF;
    return FELICA_E_READ;
  }
  *code = nodes[index].code;
  *endCode = nodes[index].isArea ? nodes[index].end : 0xFFFF;
  return 0;
}

cardimage::CardService* CardImageDriver::Service(uint32_t serviceCode) const {
  auto& system = const_cast<cardimage::CardSystem&>(image_->systems[*system_]);
  cardimage::CardService* service = system.FindService(static_cast<uint16_t>(serviceCode));
  return service != nullptr && !service->blocks.empty() ? service : nullptr;
}

int16_t CardImageDriver::Check(const BlockRef* refs, size_t count, bool write) const {
  for (size_t i = 0; i < count; ++i) {
    const cardimage::CardService* service = Service(refs[i].ServiceCode);
    if (service == nullptr) return FELICA_NOTHING;  // A6
    if (write && !Writable(service->code)) return FELICA_E_WRITE;
    if (refs[i].Block >= service->blocks.size())
      return write ? FELICA_E_WRITE : FELICA_E_READ;  // A8
  }
  return 0;
}

int16_t CardImageDriver::Read(uint32_t serviceCode, uint8_t block, uint8_t* data) const {
  if (!cardActive_) return FELICA_E_NO_CARD;
  if (data == nullptr) return FELICA_E_PARAMETER;
  const BlockRef ref{serviceCode, block};
  if (const int16_t status = Check(&ref, 1, false); status != 0) return status;
  std::memcpy(data, Service(serviceCode)->blocks[block].data(), kBlockBytes);
  return 0;
}

int16_t CardImageDriver::Write(uint32_t serviceCode, uint8_t block, const uint8_t* data) {
  if (!cardActive_) return FELICA_E_NO_CARD;
  if (data == nullptr) return FELICA_E_PARAMETER;
  const BlockRef ref{serviceCode, block};
  if (const int16_t status = Check(&ref, 1, true); status != 0) return status;
  std::memcpy(Service(serviceCode)->blocks[block].data(), data, kBlockBytes);
  return 0;
}

int16_t CardImageDriver::Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) const {
  if (!cardActive_) return FELICA_E_NO_CARD;
  if (count == nullptr) return FELICA_E_PARAMETER;
  const size_t n = *count;
  if (n == 0) return 0;
  if (data == nullptr || refs == nullptr) return FELICA_E_PARAMETER;
  *count = 0;
  // In batches of 12, each read whole or refused whole, as a card answers one command.
  for (size_t done = 0; done < n; done += kBatch) {
    const size_t batch = std::min(kBatch, n - done);
    if (const int16_t status = Check(refs + done, batch, false); status != 0) return status;
    for (size_t i = 0; i < batch; ++i) {
      std::memcpy(data + kBlockBytes * (done + i),
                  Service(refs[done + i].ServiceCode)->blocks[refs[done + i].Block].data(),
                  kBlockBytes);
    }
    *count = static_cast<uint8_t>(done + batch);
  }
  return 0;
}

int16_t CardImageDriver::Write2(const BlockRef* refs, uint8_t count, const uint8_t* data) {
  if (!cardActive_) return FELICA_E_NO_CARD;
  if (data == nullptr || (refs == nullptr && count > 0)) return FELICA_E_PARAMETER;
  int16_t status = 0;
  for (size_t done = 0; done < count; done += kBatch) {
    const size_t batch = std::min<size_t>(kBatch, count - done);
    status = Check(refs + done, batch, true);
    if (status < 0) return status;
    if (status != 0) continue;  // refused (A6): the next batch is still sent
    for (size_t i = 0; i < batch; ++i) {
      std::memcpy(Service(refs[done + i].ServiceCode)->blocks[refs[done + i].Block].data(),
                  data + kBlockBytes * (done + i), kBlockBytes);
    }
  }
  return status;
}

}  // namespace lorvane::cardimageplugin
