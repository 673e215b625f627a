// SPDX-License-Identifier: MIT
#include "viewer/carddef/definition_notifier.h"

#include <cstdio>

#include "platform/text_codec.h"

namespace lorvane::carddef {
namespace {

class StandardErrorNotifier final : public DefinitionNotifier {
 public:
  void DefinitionReadError(const std::u16string& file, const std::u16string& key) override {
    std::fprintf(stderr, "%s: %s (%s: %s)\n", platform::U8(kDefinitionErrorCaption).c_str(),
                 platform::U8(kDefinitionErrorText).c_str(), platform::U8(file).c_str(),
                 platform::U8(key).c_str());
  }
  void DefinitionSkipped(const std::u16string& file, const std::string& reason) override {
    std::fprintf(stderr, "lorvane: %s: %s; it reads no card\n", platform::U8(file).c_str(),
                 reason.c_str());
  }
};

StandardErrorNotifier& StandardNotifier() {
  static StandardErrorNotifier notifier;
  return notifier;
}

DefinitionNotifier* g_notifier = nullptr;

}  // namespace

DefinitionNotifier* SetDefinitionNotifier(DefinitionNotifier* notifier) {
  DefinitionNotifier* previous = g_notifier;
  g_notifier = notifier;
  return previous;
}

DefinitionNotifier& CurrentDefinitionNotifier() {
  return g_notifier != nullptr ? *g_notifier : StandardNotifier();
}

}  // namespace lorvane::carddef
