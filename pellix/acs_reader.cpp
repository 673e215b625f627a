// SPDX-License-Identifier: MIT
#include "pellix/acs_reader.h"

namespace lorvane::pellix {
namespace {

std::unique_ptr<FeliCaLink> MakeAcr122Link(PcscConnection& pcsc) {
  return std::make_unique<Acr122Link>(pcsc);
}

}  // namespace

AcsReader::AcsReader() : FeliCaDriver(MakeAcr122Link) {}

const std::string& AcsReader::firmware() {
  return static_cast<Acr122Link&>(felicaLink()).firmware();
}

}  // namespace lorvane::pellix
