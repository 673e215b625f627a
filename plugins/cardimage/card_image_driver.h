// SPDX-License-Identifier: MIT
// A reader plug-in whose "reader" is a card image file: the card lies on it for good. It
// gives the statuses the ACR122 driver gives for the same card.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "plugin-api/felica_plugin.h"

namespace lorvane::cardimageplugin {

// Where the image served comes from.
enum class ImageSource {
  kSample,       // the bundled sample card, served only while no smart card reader is attached
  kEnvironment,  // LORVANE_CARD_IMAGE: wins over any other choice
  kUser,         // chosen in the plug-in's settings, or named when the reader was opened
};

class CardImageDriver {
 public:
  CardImageDriver(std::filesystem::path imagePath, ImageSource source)
      : imagePath_(std::move(imagePath)), source_(source) {}

  const std::filesystem::path& imagePath() const { return imagePath_; }
  ImageSource source() const { return source_; }
  void Choose(std::filesystem::path path) {
    imagePath_ = std::move(path);
    source_ = ImageSource::kUser;
  }
  // The settings data: the path of an image the user chose, NUL-terminated and zero-filled
  // to 256 bytes; all zeros for the sample or the environment's image.
  void WriteSettingsData(char* data) const;

  int16_t Initialize();
  const char* ReaderName(uint32_t index) const;
  int16_t Open(const char* name);
  int16_t Close();
  int16_t Poll(uint16_t systemCode);
  const uint8_t* SetCurrentCard(uint8_t index);
  uint16_t SystemCode(uint32_t index) const;
  int16_t ServiceCode(uint16_t index, uint32_t* code, uint32_t* endCode) const;
  int16_t Read(uint32_t serviceCode, uint8_t block, uint8_t* data) const;
  int16_t Write(uint32_t serviceCode, uint8_t block, const uint8_t* data);
  int16_t Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) const;
  int16_t Write2(const BlockRef* refs, uint8_t count, const uint8_t* data);

 private:
  // The card's answer to reading (or writing) these blocks: 0, 5 (A6) or the error.
  int16_t Check(const BlockRef* refs, size_t count, bool write) const;
  cardimage::CardService* Service(uint32_t serviceCode) const;

  std::filesystem::path imagePath_;
  ImageSource source_;
  std::optional<cardimage::CardImage> image_;
  std::string entryName_;
  bool open_ = false;
  std::optional<size_t> system_;  // the system that answered the last poll
  bool cardActive_ = false;
  std::array<uint8_t, 16> identity_{};
  // The system codes of the last card polled; kept until a close while a card is current.
  std::vector<uint16_t> systemCodes_;
};

}  // namespace lorvane::cardimageplugin
