// SPDX-License-Identifier: MIT
// Pellix: the ACR122 family.
#include <new>

#include "pellix/acs_reader.h"
#include "pellix/plugin_identity.h"

namespace lorvane::pellix::identity {

FeliCaDriver* NewDriver() noexcept { return new (std::nothrow) AcsReader(); }
const char kDescription[] = "Advanced Card System Ltd. Readers overlap DLL";
const char kDate[] = "2008/04/29";

}  // namespace lorvane::pellix::identity
