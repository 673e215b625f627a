#include "platform/ini_document.h"

#include "platform/text_codec.h"

namespace lorvane::platform {
namespace {

std::u16string StripOuterQuotes(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::u16string(value);
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
    switch (doc.encoding_) {
      case IniEncoding::kUtf16Le:
        line.text = Utf16LeBytesToText(raw);
        break;
      case IniEncoding::kCp932:
        line.text = Cp932ToUtf16(raw);
        break;
      default:
        line.text = Utf8ToUtf16Lossy(raw);
    }
    Classify(line);
    doc.lines_.push_back(std::move(line));
  });
  return doc;
}

void IniDocument::Classify(Line& line) {
  const std::u16string_view text = Trim(line.text, kIniBlanks);
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

std::optional<IniDocument::SectionRange> IniDocument::FindSection(
    std::u16string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::kSection || !EqualsIgnoreAsciiCase(lines_[i].name, section)) {
      continue;
    }
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::kSection) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const SectionRange& range,
                                           std::u16string_view key) const {
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (lines_[i].kind == Kind::kKey && EqualsIgnoreAsciiCase(lines_[i].name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section,
                                                std::u16string_view key) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  const auto index = FindKey(*range, key);
  if (!index) return std::nullopt;
  return StripOuterQuotes(lines_[*index].value);
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

std::string IniDocument::LineEnd() const {
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return Encode(u"\r\n");
}

IniDocument::Line IniDocument::MakeLine(std::u16string text) const {
  Line line;
  line.raw = Encode(text);
  line.eol = LineEnd();
  line.text = std::move(text);
  Classify(line);
  return line;
}

void IniDocument::EnsureLineEnd(size_t index) {
  if (index < lines_.size() && lines_[index].eol.empty()) lines_[index].eol = LineEnd();
}

void IniDocument::Set(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
  const auto range = FindSection(section);
  if (!range) {
    if (!lines_.empty()) EnsureLineEnd(lines_.size() - 1);
    lines_.push_back(MakeLine(u"[" + std::u16string(section) + u"]"));
    lines_.push_back(MakeLine(std::u16string(key) + u"=" + std::u16string(value)));
    return;
  }
  if (const auto index = FindKey(*range, key)) {
    Line& line = lines_[*index];
    const std::string eol = line.eol.empty() ? LineEnd() : line.eol;
    line = MakeLine(line.name + u"=" + std::u16string(value));
    line.eol = eol;
    return;
  }
  size_t after = range->header;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    if (lines_[i].kind == Kind::kKey) after = i;
  }
  EnsureLineEnd(after);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1,
                MakeLine(std::u16string(key) + u"=" + std::u16string(value)));
}

void IniDocument::RemoveKey(std::u16string_view section, std::u16string_view key) {
  const auto range = FindSection(section);
  if (!range) return;
  if (const auto index = FindKey(*range, key)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
  }
}

void IniDocument::RemoveSection(std::u16string_view section) {
  const auto range = FindSection(section);
  if (!range) return;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    const bool inSection = i >= range->header && i < range->end;
    const bool drop = inSection && (i == range->header || lines_[i].kind == Kind::kKey);
    if (!drop) kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
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
