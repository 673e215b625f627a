// SPDX-License-Identifier: MIT
#include "platform/ini_document.h"

#include <algorithm>

#include "platform/text_codec.h"

namespace lorvane::platform {
namespace {

// A text as one line can hold it: CR, LF and NUL become blanks.
std::u16string OneLine(std::u16string_view text) {
  std::u16string line(text);
  std::replace_if(
      line.begin(), line.end(), [](char16_t c) { return c == u'\r' || c == u'\n' || c == 0; },
      u' ');
  return line;
}

// Splits encoded bytes into lines; `unit` is 1 for 8-bit encodings and 2 for UTF-16LE.
template <typename AddLine>
void SplitLines(std::string_view bytes, size_t unit, AddLine add) {
  auto at = [&](size_t i) -> int {
    if (unit == 1) return static_cast<unsigned char>(bytes[i]);
    return static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
  };
  const size_t usable = bytes.size() - bytes.size() % unit;
  size_t start = 0;
  size_t i = 0;
  while (i < usable) {
    const int c = at(i);
    if (c != '\r' && c != '\n') {
      i += unit;
      continue;
    }
    size_t eolLen = unit;
    if (c == '\r' && i + unit < usable && at(i + unit) == '\n') eolLen = 2 * unit;
    add(bytes.substr(start, i - start), bytes.substr(i, eolLen));
    i += eolLen;
    start = i;
  }
  if (start < usable) add(bytes.substr(start, usable - start), std::string_view());
}

}  // namespace

std::u16string StripOuterQuotes(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::u16string(value);
}

// The index refers into the lines, so a copy is indexed anew.
IniDocument& IniDocument::operator=(const IniDocument& other) {
  if (this == &other) return *this;
  encoding_ = other.encoding_;
  lines_ = other.lines_;
  lineEnd_ = other.lineEnd_;
  oddByte_ = other.oddByte_;
  BuildIndex();
  return *this;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    doc.encoding_ = IniEncoding::kUtf16Le;
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.encoding_ = IniEncoding::kUtf8Bom;
  } else if (!IsValidUtf8(bytes)) {
    doc.encoding_ = IniEncoding::kCp932;
  }
  const size_t bom = doc.encoding_ == IniEncoding::kUtf16Le   ? 2
                     : doc.encoding_ == IniEncoding::kUtf8Bom ? 3
                                                              : 0;
  const size_t unit = doc.encoding_ == IniEncoding::kUtf16Le ? 2 : 1;
  const std::string_view body = bytes.substr(bom);
  doc.oddByte_.assign(body.substr(body.size() - body.size() % unit));
  SplitLines(body, unit, [&](std::string_view raw, std::string_view eol) {
    Line line;
    line.raw.assign(raw);
    line.eol.assign(eol);
    if (doc.lineEnd_.empty()) doc.lineEnd_.assign(eol);
    switch (doc.encoding_) {
      case IniEncoding::kUtf16Le:
        Classify(line, Utf16LeBytesToText(raw));
        break;
      case IniEncoding::kCp932:
        Classify(line, Cp932ToUtf16(raw));
        break;
      default:
        Classify(line, Utf8ToUtf16Lossy(raw));
    }
    doc.lines_.push_back(std::move(line));
  });
  if (doc.lineEnd_.empty()) doc.lineEnd_ = doc.Encode(u"\r\n");
  doc.BuildIndex();
  return doc;
}

void IniDocument::Classify(Line& line, std::u16string_view whole) {
  const std::u16string_view text = Trim(whole, kIniBlanks);
  if (text.empty()) return;
  if (text.front() == u';') {
    line.kind = Kind::kComment;
  } else if (text.front() == u'[') {
    const size_t close = text.find(u']');
    line.kind = Kind::kSection;
    line.name =
        Trim(text.substr(1, close == std::u16string_view::npos ? close : close - 1), kIniBlanks);
  } else if (const size_t eq = text.find(u'='); eq != std::u16string_view::npos) {
    line.kind = Kind::kKey;
    line.name = Trim(text.substr(0, eq), kIniBlanks);
    line.value = Trim(text.substr(eq + 1), kIniBlanks);
  }
}

// FNV-1a over the code units, letters folded to lower case.
size_t IniDocument::NameHash::operator()(std::u16string_view name) const {
  uint64_t hash = 14695981039346656037ull;
  for (char16_t c : name) {
    hash ^= AsciiToLower(c);
    hash *= 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

bool IniDocument::NameEqual::operator()(std::u16string_view a, std::u16string_view b) const {
  return EqualsIgnoreAsciiCase(a, b);
}

// The keys of one section: every key line up to the next section header, the first of each
// name indexed.
void IniDocument::IndexSection(Section& section) {
  section.keys.clear();
  section.lastKey = section.header;
  for (auto it = std::next(section.header); it != lines_.end() && it->kind != Kind::kSection;
       ++it) {
    if (it->kind != Kind::kKey) continue;
    section.keys.try_emplace(it->name, it);
    section.lastKey = it;
  }
}

// Only the first section of a name is indexed: lookups and writes never reach a later one.
void IniDocument::BuildIndex() {
  sections_.clear();
  Section* current = nullptr;
  for (auto it = lines_.begin(); it != lines_.end(); ++it) {
    if (it->kind == Kind::kSection) {
      const auto [entry, added] = sections_.try_emplace(it->name);
      current = added ? &entry->second : nullptr;
      if (current != nullptr) current->header = current->lastKey = it;
    } else if (it->kind == Kind::kKey && current != nullptr) {
      current->keys.try_emplace(it->name, it);
      current->lastKey = it;
    }
  }
}

const IniDocument::Section* IniDocument::FindSection(std::u16string_view name) const {
  const auto it = sections_.find(name);
  return it == sections_.end() ? nullptr : &it->second;
}

IniDocument::Section* IniDocument::FindSection(std::u16string_view name) {
  const auto it = sections_.find(name);
  return it == sections_.end() ? nullptr : &it->second;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section,
                                                std::u16string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::nullopt;
  const auto it = s->keys.find(key);
  if (it == s->keys.end()) return std::nullopt;
  return StripOuterQuotes(it->second->value);
}

std::string IniDocument::Encode(std::u16string_view text) const {
  switch (encoding_) {
    case IniEncoding::kUtf16Le:
      return TextToUtf16LeBytes(text);
    case IniEncoding::kCp932:
      return Utf16ToCp932(text);
    default:
      return Utf16ToUtf8(text);
  }
}

IniDocument::Line IniDocument::MakeLine(std::u16string_view text) const {
  Line line;
  line.raw = Encode(text);
  line.eol = lineEnd_;
  Classify(line, text);
  return line;
}

void IniDocument::EnsureLineEnd(LineIt line) {
  if (line != lines_.end() && line->eol.empty()) line->eol = lineEnd_;
}

void IniDocument::Set(std::u16string_view sectionName, std::u16string_view keyName,
                      std::u16string_view value) {
  const std::u16string section = OneLine(sectionName);
  const std::u16string key = OneLine(keyName);
  const std::u16string text = OneLine(value);
  Section* s = FindSection(section);
  if (s == nullptr) {
    if (!lines_.empty()) EnsureLineEnd(std::prev(lines_.end()));
    const LineIt header = lines_.insert(lines_.end(), MakeLine(u"[" + section + u"]"));
    lines_.push_back(MakeLine(key + u"=" + text));
    // A name with "]" in it heads a section of another name, which may exist already.
    if (FindSection(header->name) != nullptr) return BuildIndex();
    Section& added = sections_[header->name];
    added.header = header;
    IndexSection(added);
    return;
  }
  if (const auto found = s->keys.find(std::u16string_view(key)); found != s->keys.end()) {
    Line& line = *found->second;
    const std::string eol = line.eol.empty() ? lineEnd_ : line.eol;
    line = MakeLine(line.name + u"=" + text);
    line.eol = eol;
    return;
  }
  EnsureLineEnd(s->lastKey);
  const LineIt line = lines_.insert(std::next(s->lastKey), MakeLine(key + u"=" + text));
  if (line->kind != Kind::kKey) return BuildIndex();  // a key name that makes another kind
  s->keys.try_emplace(line->name, line);
  s->lastKey = line;
}

void IniDocument::RemoveKey(std::u16string_view section, std::u16string_view key) {
  Section* s = FindSection(section);
  if (s == nullptr) return;
  const auto found = s->keys.find(std::u16string_view(key));
  if (found == s->keys.end()) return;
  lines_.erase(found->second);
  IndexSection(*s);  // a later line of the same name, if any, is now the first
}

void IniDocument::RemoveSection(std::u16string_view section) {
  const Section* s = FindSection(section);
  if (s == nullptr) return;
  auto it = s->header;
  it = lines_.erase(it);
  while (it != lines_.end() && it->kind != Kind::kSection) {
    it = it->kind == Kind::kKey ? lines_.erase(it) : std::next(it);
  }
  BuildIndex();
}

std::string IniDocument::Serialize() const {
  std::string out;
  if (encoding_ == IniEncoding::kUtf16Le) out = "\xFF\xFE";
  if (encoding_ == IniEncoding::kUtf8Bom) out = "\xEF\xBB\xBF";
  for (const Line& line : lines_) {
    out += line.raw;
    out += line.eol;
  }
  return out + oddByte_;
}

}  // namespace lorvane::platform
