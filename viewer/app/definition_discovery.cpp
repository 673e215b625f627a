// SPDX-License-Identifier: MIT
#include "viewer/app/definition_discovery.h"

#include <algorithm>

#include "platform/directory_listing.h"
#include "platform/text_codec.h"
#include "viewer/carddef/definition_notifier.h"

namespace lorvane::app {
namespace {

constexpr size_t kCardNameChars = 99;

std::u16string PathText(const std::filesystem::path& path) { return platform::U16(path.string()); }

// A definition that did not load is named, with why; it stays in the list (it reads no card).
void Keep(std::unique_ptr<carddef::CardDefinition> definition, const std::u16string& file,
          CardDefinitions& out) {
  const int16_t status = definition->loadStatus();
  const bool loaded = definition->loaded();
  out.push_back(std::move(definition));
  if (loaded) return;
  carddef::CurrentDefinitionNotifier().DefinitionSkipped(
      file, status == carddef::kNotADefinition
                ? "has no CardName: it is not a card definition"
                : "is not a card definition this program can use (status " +
                      std::to_string(status) + ")");
}

void LoadCardDefineSections(const std::filesystem::path& folder, CardDefinitions& out) {
  const auto name = platform::FindFile(folder, "CardDefine.ini");
  if (!name) return;
  const std::u16string file = PathText(folder / *name);
  for (int16_t n = 1; out.size() < kMaxCardDefinitions && n < INT16_MAX; ++n) {
    if (carddef::ReadCardName(file, n, kCardNameChars).empty()) break;
    Keep(std::make_unique<carddef::CardDefinition>(file, n), file, out);
  }
}

bool NameLoaded(const CardDefinitions& loaded, const std::u16string& name) {
  return std::any_of(loaded.begin(), loaded.end(), [&](const auto& definition) {
    return platform::EqualsIgnoreAsciiCase(definition->GetCardName(), name);
  });
}

}  // namespace

// A failure (out of memory, say) ends the search with the definitions loaded so far.
CardDefinitions LoadCardDefinitions(const std::filesystem::path& folder, platform::WidthUnit unit) {
  CardDefinitions definitions;
  try {
    LoadCardDefineSections(folder, definitions);
    for (const std::string& name : platform::FindFiles(folder, "CardDef_", ".ini")) {
      if (definitions.size() >= kMaxCardDefinitions) break;
      const std::u16string file = PathText(folder / name);
      if (NameLoaded(definitions, carddef::ReadCardName(file, -1, kCardNameChars))) continue;
      Keep(std::make_unique<carddef::CardDefinition>(file, -1), file, definitions);
    }
  } catch (...) {
  }
  for (const auto& definition : definitions) definition->SetLineWidthUnit(unit);
  return definitions;
}

}  // namespace lorvane::app
