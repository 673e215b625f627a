// SPDX-License-Identifier: MIT
// The card-image plug-in's own settings: a file chooser for the card image it serves. Built
// into the module "cardimage-dialogs.so", which runs on the host's Qt application.
#pragma once

#include <cstddef>

namespace lorvane::cardimageplugin {

// The longest path the settings data can keep (256 bytes with the terminating NUL).
inline constexpr size_t kMaxImagePathBytes = 255;

// Results of the chooser.
inline constexpr int kImageChosen = 0;
inline constexpr int kChoiceCancelled = 1;
inline constexpr int kChooserNotShown = -1;  // no Qt application in this process

// The module's entry point: lets the user pick a card image (.json, .nfc), starting at
// `current`, and writes its path, NUL-terminated, into `chosen` (`capacity` bytes). A file
// that is not a readable card image, or whose path is too long to keep, is refused with a
// message that names it, and the chooser opens again.
extern "C" {
using ChooseCardImageFn = int (*)(const char* current, char* chosen, size_t capacity);
}
inline constexpr char kChooseCardImageEntry[] = "CardImageChooseFile";
inline constexpr char kDialogModule[] = "cardimage-dialogs.so";

}  // namespace lorvane::cardimageplugin
