// SPDX-License-Identifier: MIT
// ".def file read error" as a message box, for as long as the object lives.
#pragma once

#include "viewer/carddef/definition_notifier.h"

namespace lorvane::ui {

class DefinitionErrorBox final : public carddef::DefinitionNotifier {
 public:
  DefinitionErrorBox()
      : standardError_(carddef::CurrentDefinitionNotifier()),
        previous_(carddef::SetDefinitionNotifier(this)) {}
  ~DefinitionErrorBox() override { carddef::SetDefinitionNotifier(previous_); }
  DefinitionErrorBox(const DefinitionErrorBox&) = delete;
  DefinitionErrorBox& operator=(const DefinitionErrorBox&) = delete;

  void DefinitionReadError(const std::u16string& file, const std::u16string& key) override;
  void DefinitionSkipped(const std::u16string& file, const std::string& reason) override {
    standardError_.DefinitionSkipped(file, reason);
  }

 private:
  carddef::DefinitionNotifier& standardError_;  // also names the file and the key
  carddef::DefinitionNotifier* previous_;
};

}  // namespace lorvane::ui
