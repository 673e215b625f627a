// SPDX-License-Identifier: MIT
// Card definitions: the input is a definition file; the card answers every block with bytes
// taken from the input. Loading, reading and decoding must stay inside their buffers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/carddef/card_definition.h"
#include "viewer/carddef/definition_notifier.h"

namespace {

class SilentNotifier final : public lorvane::carddef::DefinitionNotifier {
 public:
  void DefinitionReadError(const std::u16string&, const std::u16string&) override {}
  void DefinitionSkipped(const std::u16string&, const std::string&) override {}
};

class BytesReader final : public lorvane::carddef::CardReader {
 public:
  BytesReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int32_t ReaderOpen() override { return 0; }
  int32_t ReaderClose() override { return 0; }
  int32_t ReaderREQC(uint32_t) override { return 0; }
  int32_t ReaderSetCurrentCard(uint32_t, const uint8_t** card) override {
    *card = identity_;
    return 0;
  }
  int32_t ReaderRead(uint32_t service, uint32_t block, uint8_t* out) override {
    for (size_t i = 0; i < 16; ++i)
      out[i] = size_ == 0 ? 0 : data_[(service * 31 + block * 16 + i) % size_];
    return 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  uint8_t identity_[16] = {1, 2, 3, 4, 5, 6, 7, 8};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentNotifier notifier;
  lorvane::carddef::SetDefinitionNotifier(&notifier);
  static const std::string path =
      "/tmp/lorvane-fuzz-definition-" + std::to_string(getpid()) + ".ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  lorvane::platform::ClearProfileCache();
  const std::u16string name = lorvane::platform::U16(path);
  for (int16_t index : {int16_t{-1}, int16_t{1}}) {
    lorvane::carddef::CardDefinition definition(name, index);
    BytesReader reader(data, size);
    definition.ReadCard(reader);
    for (uint16_t n = 0; n < 260; ++n) {
      definition.GetInfoLine(n);
      definition.GetHistoryLine(n);
    }
  }
  return 0;
}
