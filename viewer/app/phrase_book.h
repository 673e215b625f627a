// SPDX-License-Identifier: MIT
// Texts the program composes in English (errors, their reasons, message box captions) in the
// language of the window. Each phrase has a key (in the language file's "Phrases" section)
// and its English form, with %1, %2... for the parts that vary: file names, numbers, and
// reasons that are phrases in turn. A line is matched against the English forms as a whole;
// the parts that vary are translated the same way, so
//   "/home/a/card.json: cannot be read: Permission denied"
// becomes "/home/a/card.json を読み込めません: アクセスが拒否されました". A line no phrase
// matches keeps its text before ": " and has the rest translated; a phrase the language has
// no text for stays English. The command line and stored files keep the English texts.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lorvane::app {

struct Phrase {
  const char16_t* key;
  const char16_t* english;
};

// Every phrase the program composes for the user. A line takes the first phrase that
// matches it, so a phrase that holds others comes before them ("%1 at system %2" before "the
// card did not answer a poll of system %1", whose last part would take the rest of the line).
std::span<const Phrase> PhraseCatalog();

inline constexpr char16_t kPhrasesSection[] = u"Phrases";

class PhraseBook {
 public:
  // The language's text for a key, or nothing where it has none.
  using Lookup = std::function<std::optional<std::u16string>(std::u16string_view key)>;

  PhraseBook(std::span<const Phrase> phrases, Lookup lookup);

  // `text` line by line in the language; lines longer than kMaxLineChars stay as they are.
  std::u16string Translate(std::u16string_view text) const;

  static constexpr size_t kMaxLineChars = 1024;

 private:
  struct Form {
    std::u16string key;
    std::vector<std::u16string> literals;  // one more than the places
    std::vector<int> places;               // %1 → 1
  };
  using Captures = std::vector<std::u16string_view>;

  std::u16string TranslateLine(std::u16string_view line, int depth) const;
  std::optional<std::u16string> TranslateWhole(std::u16string_view line, int depth) const;
  static bool Match(const Form& form, std::u16string_view text, Captures& captures);
  static bool MatchFrom(const Form& form, size_t slot, std::u16string_view text, size_t at,
                        Captures& captures);
  std::u16string Fill(std::u16string_view local, const Form& form, const Captures& captures,
                      int depth) const;

  std::vector<Form> forms_;  // in the order of the catalogue
  Lookup lookup_;
};

}  // namespace lorvane::app
