// SPDX-License-Identifier: MIT
// Where a card definition reports the one error it shows to the user while loading: a
// field whose place in the record is given by one or three numbers. The dialog shows it as
// a message box; the command line prints it on standard error (the default).
#pragma once

#include <string>

namespace lorvane::carddef {

inline constexpr char16_t kDefinitionErrorText[] = u".def file read error";
inline constexpr char16_t kDefinitionErrorCaption[] = u"Error";

class DefinitionNotifier {
 public:
  virtual ~DefinitionNotifier() = default;
  // `file` and `key` say where the fault is; the message itself is kDefinitionErrorText.
  virtual void DefinitionReadError(const std::u16string& file, const std::u16string& key) = 0;
  // A definition file that could not be loaded: it reads no card. `reason` says why.
  virtual void DefinitionSkipped(const std::u16string& file, const std::string& reason) = 0;
};

// Replaces the process-wide notifier (null restores the standard-error one) and returns the
// previous one. Single-threaded, like everything that loads definitions.
DefinitionNotifier* SetDefinitionNotifier(DefinitionNotifier* notifier);
DefinitionNotifier& CurrentDefinitionNotifier();

}  // namespace lorvane::carddef
