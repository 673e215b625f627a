// SPDX-License-Identifier: MIT
// Card image files, native and Flipper: a parsed image must write out and read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cardimage/card_image.h"
#include "cardimage/card_image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lorvane::cardimage;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  for (auto parse : {&ParseCardImageJson, &ParseFlipperDump}) {
    auto image = parse(text, error);
    if (!image) continue;
    const std::string json = SerializeCardImageJson(*image);
    const auto again = ParseCardImageJson(json, error);
    if (!again || SerializeCardImageJson(*again) != json) std::abort();
    CardImageReader reader(std::move(*image));
    uint8_t block[16];
    const uint8_t* card = nullptr;
    for (uint32_t code : {0xFFFFu, 0x0003u, 0xFE00u}) {
      reader.ReaderREQC(code);
      reader.ReaderSetCurrentCard(0, &card);
      for (uint32_t service : {0x090Fu, 0x008Bu}) reader.ReaderRead(service, size % 300, block);
    }
  }
  return 0;
}
