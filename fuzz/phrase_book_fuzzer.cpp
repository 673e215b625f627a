// SPDX-License-Identifier: MIT
// Composed texts of any content (plug-in strings, file names, reasons) through the phrase
// book. A language without texts must give every text back exactly; one with a text for
// every phrase must end on any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/app/phrase_book.h"

using lorvane::app::PhraseBook;
using lorvane::app::PhraseCatalog;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Bytes as Latin-1 characters, so the input spells the phrases' English as it is.
  const std::u16string text(data, data + size);
  static const PhraseBook kNone(PhraseCatalog(), [](std::u16string_view) { return std::nullopt; });
  if (kNone.Translate(text) != text) std::abort();
  static const PhraseBook kEvery(PhraseCatalog(), [](std::u16string_view key) {
    return std::optional<std::u16string>(u"<" + std::u16string(key) + u" %2 %1 %3 %4 %9>");
  });
  kEvery.Translate(text);
  return 0;
}
