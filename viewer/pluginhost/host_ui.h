// SPDX-License-Identifier: MIT
// What the plug-in host needs of a user interface: a folder-browse dialog and message boxes.
// The dialogs implement it with widgets; the command line answers for the user.
#pragma once

#include <optional>
#include <string>

namespace lorvane::pluginhost {

enum class MessageKind { kPlain, kInformation, kWarning, kError };

class HostUi {
 public:
  virtual ~HostUi() = default;
  // Lets the user choose a folder ("DLL Folder"); nullopt when cancelled.
  virtual std::optional<std::u16string> BrowseFolder(const std::u16string& initial) = 0;
  virtual void ShowMessage(const std::u16string& text, const std::u16string& caption,
                           MessageKind kind) = 0;
  // What the host did and why (libraries loaded or refused, the probe's answers), for
  // whoever wants the details; nothing by default.
  virtual void Note(const std::string& /*text*/) {}
};

// The command line's answers: every folder choice is cancelled, messages go to standard
// error as "caption: text", and so do the notes when `verbose` is set.
class CommandLineUi final : public HostUi {
 public:
  explicit CommandLineUi(bool verbose = false) : verbose_(verbose) {}
  std::optional<std::u16string> BrowseFolder(const std::u16string& initial) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   MessageKind kind) override;
  void Note(const std::string& text) override;

 private:
  bool verbose_;
};

}  // namespace lorvane::pluginhost
