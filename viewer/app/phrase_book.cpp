// SPDX-License-Identifier: MIT
#include "viewer/app/phrase_book.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace lorvane::app {
namespace {

constexpr int kMaxDepth = 8;
constexpr char16_t kSlotMark = u'%';
constexpr std::u16string_view kPartSeparator = u": ";

// The slot number of "%1".."%9" at `at`, or 0.
int SlotAt(std::u16string_view text, size_t at) {
  if (text[at] != kSlotMark || at + 1 >= text.size()) return 0;
  const char16_t digit = text[at + 1];
  return digit >= u'1' && digit <= u'9' ? digit - u'0' : 0;
}

size_t LiteralLength(const std::vector<std::u16string>& literals) {
  return std::accumulate(literals.begin(), literals.end(), size_t{0},
                         [](size_t n, const std::u16string& s) { return n + s.size(); });
}

}  // namespace

PhraseBook::PhraseBook(std::span<const Phrase> phrases, Lookup lookup)
    : lookup_(std::move(lookup)) {
  for (const Phrase& phrase : phrases) {
    const std::u16string_view english = phrase.english;
    Form form{phrase.key, {u""}, {}};
    for (size_t i = 0; i < english.size(); ++i) {
      if (const int slot = SlotAt(english, i)) {
        form.places.push_back(slot);
        form.literals.emplace_back();
        ++i;
      } else {
        form.literals.back() += english[i];
      }
    }
    // A form of places alone would match every line.
    if (LiteralLength(form.literals) > 0) forms_.push_back(std::move(form));
  }
}

std::u16string PhraseBook::Translate(std::u16string_view text) const {
  std::u16string out;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(text.find(u'\n', start), text.size());
    const std::u16string_view line = text.substr(start, end - start);
    out += line.size() > kMaxLineChars ? std::u16string(line) : TranslateLine(line, 0);
    if (end == text.size()) return out;
    out += u'\n';
    start = end + 1;
  }
}

std::u16string PhraseBook::TranslateLine(std::u16string_view line, int depth) const {
  if (depth > kMaxDepth || line.empty()) return std::u16string(line);
  if (auto whole = TranslateWhole(line, depth)) return std::move(*whole);
  // "<name>: <reason>": the name stays, the reason is translated.
  const size_t separator = line.find(kPartSeparator);
  if (separator == std::u16string_view::npos) return std::u16string(line);
  const size_t rest = separator + kPartSeparator.size();
  return std::u16string(line.substr(0, rest)) + TranslateLine(line.substr(rest), depth + 1);
}

std::optional<std::u16string> PhraseBook::TranslateWhole(std::u16string_view line,
                                                         int depth) const {
  for (const Form& form : forms_) {
    Captures captures;
    if (!Match(form, line, captures)) continue;
    std::optional<std::u16string> local = lookup_(form.key);
    if (!local || local->empty()) {
      // The English form itself, its parts translated all the same.
      local = form.literals[0];
      for (size_t i = 0; i < form.places.size(); ++i)
        *local += u"%" + std::u16string(1, static_cast<char16_t>(u'0' + form.places[i])) +
                  form.literals[i + 1];
    }
    return Fill(*local, form, captures, depth);
  }
  return std::nullopt;
}

bool PhraseBook::Match(const Form& form, std::u16string_view text, Captures& captures) {
  const std::u16string& first = form.literals.front();
  if (form.places.empty()) return text == first;
  if (text.substr(0, first.size()) != first) return false;
  captures.assign(form.places.size(), {});
  return MatchFrom(form, 0, text, first.size(), captures);
}

// Slot `slot` takes the shortest text (at least one character) after which the rest matches.
bool PhraseBook::MatchFrom(const Form& form, size_t slot, std::u16string_view text, size_t at,
                           Captures& captures) {
  const std::u16string& next = form.literals[slot + 1];
  if (slot + 1 == form.places.size()) {
    if (text.size() < at + 1 + next.size()) return false;
    const size_t end = text.size() - next.size();
    if (text.substr(end) != next) return false;
    captures[slot] = text.substr(at, end - at);
    return true;
  }
  if (next.empty()) return false;  // two places side by side cannot be told apart
  for (size_t q = text.find(next, at + 1); q != std::u16string_view::npos;
       q = text.find(next, q + 1)) {
    captures[slot] = text.substr(at, q - at);
    if (MatchFrom(form, slot + 1, text, q + next.size(), captures)) return true;
  }
  return false;
}

std::u16string PhraseBook::Fill(std::u16string_view local, const Form& form,
                                const Captures& captures, int depth) const {
  std::u16string out;
  for (size_t i = 0; i < local.size(); ++i) {
    const int slot = SlotAt(local, i);
    const auto found = std::find(form.places.begin(), form.places.end(), slot);
    if (slot == 0 || found == form.places.end()) {
      out += local[i];
      continue;
    }
    out += TranslateLine(captures[static_cast<size_t>(found - form.places.begin())], depth + 1);
    ++i;
  }
  return out;
}

}  // namespace lorvane::app
