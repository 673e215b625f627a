// SPDX-License-Identifier: MIT
// The PC/SC FeliCa plug-in: FeliCa readers of other makes than the ACR122's.
#include <memory>
#include <new>

#include "pellix/plugin_identity.h"
#include "plugins/pcscfelica/pcsc_felica_link.h"

namespace lorvane::pellix::identity {
namespace {

std::unique_ptr<FeliCaLink> MakePcscFeliCaLink(PcscConnection& pcsc) {
  return std::make_unique<pcscfelica::PcscFeliCaLink>(pcsc);
}

}  // namespace

FeliCaDriver* NewDriver() noexcept {
  try {
    return new FeliCaDriver(MakePcscFeliCaLink);
  } catch (...) {
    return nullptr;
  }
}
const char kDescription[] = "PC/SC FeliCa readers: Sony RC-S300, ACS ACR1252U and others";
const char kDate[] = "2026/12/09";

}  // namespace lorvane::pellix::identity
