// SPDX-License-Identifier: MIT
// What the reader selection dialog needs of the driver: its reader entries, the current one,
// a rescan, and closing the reader to open another. The dialog lives in a module of its own
// and reaches the driver only through this interface.
#pragma once

#include <cstdint>

namespace lorvane::pellix {

class ReaderChoice {
 public:
  virtual uint16_t EntryCount() const = 0;
  // The name of entry `index` (valid until the next scan), null beyond the entries.
  virtual const char* EntryName(uint16_t index) const = 0;
  virtual uint16_t CurrentEntry() const = 0;
  // Closes the reader and opens the entry named (scanning the readers again); the status
  // of the open.
  virtual int16_t Reopen(const char* name) = 0;
  // Lists the readers again; the open reader, if any, stays connected.
  virtual void Rescan() = 0;

 protected:
  ~ReaderChoice() = default;
};

// The dialog's results.
inline constexpr int kSelectionOk = 1;
inline constexpr int kSelectionCancel = 2;
inline constexpr int kSelectionNotShown = -1;  // no Qt application in this process

// The entry point of the dialog module "pellix-dialogs.so": runs the dialog modally.
extern "C" {
using ReaderSelectionFn = int (*)(ReaderChoice* choice);
}
inline constexpr char kReaderSelectionEntry[] = "PellixReaderSelection";
inline constexpr char kDialogModule[] = "pellix-dialogs.so";

}  // namespace lorvane::pellix
