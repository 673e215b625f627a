// SPDX-License-Identifier: MIT
#include "viewer/pluginhost/host_ui.h"

#include <cstdio>

#include "platform/text_codec.h"

namespace lorvane::pluginhost {

std::optional<std::u16string> CommandLineUi::BrowseFolder(const std::u16string& /*initial*/) {
  return std::nullopt;
}

void CommandLineUi::ShowMessage(const std::u16string& text, const std::u16string& caption,
                                MessageKind) {
  std::fprintf(stderr, "%s: %s\n", platform::U8(caption).c_str(), platform::U8(text).c_str());
}

void CommandLineUi::Note(const std::string& text) {
  if (verbose_) std::fprintf(stderr, "lorvane: %s\n", text.c_str());
}

}  // namespace lorvane::pluginhost
