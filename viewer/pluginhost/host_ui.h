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
};

// The command line's answers: every folder choice is cancelled, messages go to standard
// error as "caption: text".
class CommandLineUi final : public HostUi {
 public:
  std::optional<std::u16string> BrowseFolder(const std::u16string& initial) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   MessageKind kind) override;
};

}  // namespace lorvane::pluginhost
