// SPDX-License-Identifier: MIT
// Pellix's driver: the FeliCa driver on the ACR122 family's link.
#pragma once

#include <memory>
#include <string>

#include "pellix/acr122_link.h"
#include "pellix/felica_driver.h"

namespace lorvane::pellix {

class AcsReader final : public FeliCaDriver {
 public:
  AcsReader();
  // The reader's firmware version when the escape path asked for it ("ACR122U203").
  const std::string& firmware();
};

}  // namespace lorvane::pellix
