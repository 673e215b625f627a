// SPDX-License-Identifier: MIT
// Whether a smart card reader is attached, asked of the PC/SC service when its client
// library is installed. The card-image plug-in steps aside for real readers when it serves
// only the bundled sample card.
#pragma once

namespace lorvane::cardimageplugin {

bool SmartCardReaderAttached();

}  // namespace lorvane::cardimageplugin
