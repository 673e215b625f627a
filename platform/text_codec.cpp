// SPDX-License-Identifier: MIT
#include "platform/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace lorvane::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`; returns the code point or -1 and advances pos by the
// number of bytes consumed (at least one).
int32_t DecodeUtf8At(std::string_view s, size_t& pos) {
  const auto lead = static_cast<uint8_t>(s[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++pos;
    return -1;
  }
  size_t i = pos + 1;
  for (int k = 0; k < extra; ++k, ++i) {
    if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) {
      pos = i;
      return -1;
    }
    cp = (cp << 6) | (static_cast<uint8_t>(s[i]) & 0x3F);
  }
  pos = i;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return static_cast<int32_t>(cp);
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// Converts all of `in` with one conversion set-up. Where iconv stops at a sequence it
// cannot convert, `skip` says how many bytes that unit has (at least one) and `replacement`
// stands in its place; the conversion then goes on after it.
std::string IconvReplacing(const char* to, const char* from, std::string_view in,
                           size_t (*skip)(std::string_view, size_t), std::string_view replacement) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  std::vector<char> buffer(in.size() * 4 + 16);
  size_t pos = 0;
  char* dst = buffer.data();
  size_t dstLeft = buffer.size();
  while (pos < in.size()) {
    char* src = const_cast<char*>(in.data()) + pos;
    size_t srcLeft = in.size() - pos;
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    pos = in.size() - srcLeft;
    if (rc != static_cast<size_t>(-1)) break;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    out.append(replacement);
    dst = buffer.data();
    dstLeft = buffer.size();
    pos += std::max<size_t>(1, skip(in, pos));
  }
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  iconv_close(cd);
  out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
  return out;
}

// A CP932 unit: a lead byte and the byte after it, or one byte.
size_t Cp932Unit(std::string_view bytes, size_t pos) {
  const auto b = static_cast<uint8_t>(bytes[pos]);
  const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && pos + 1 < bytes.size() ? 2 : 1;
}

// A UTF-16LE unit: a surrogate pair (4 bytes) or one code unit (2 bytes).
size_t Utf16LeUnit(std::string_view bytes, size_t pos) {
  if (pos + 1 >= bytes.size()) return bytes.size() - pos;
  const auto high = static_cast<uint8_t>(bytes[pos + 1]);
  return high >= 0xD8 && high <= 0xDB && pos + 3 < bytes.size() ? 4 : 2;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (DecodeUtf8At(bytes, pos) < 0) return false;
  }
  return true;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t pos = 0;
  while (pos < bytes.size()) {
    const int32_t cp = DecodeUtf8At(bytes, pos);
    if (cp < 0) return std::nullopt;
    AppendCodePoint(out, static_cast<uint32_t>(cp));
  }
  return out;
}

std::u16string Utf8ToUtf16Lossy(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t pos = 0;
  while (pos < bytes.size()) {
    const int32_t cp = DecodeUtf8At(bytes, pos);
    AppendCodePoint(out, cp < 0 ? kReplacement : static_cast<uint32_t>(cp));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// One conversion for the whole text: a bad unit costs one replacement character, not a
// conversion set-up of its own.
std::u16string Cp932ToUtf16(std::string_view bytes) {
  static const std::string kReplacementBytes = {static_cast<char>(kReplacement & 0xFF),
                                                static_cast<char>(kReplacement >> 8)};
  return Utf16LeBytesToText(
      IconvReplacing("UTF-16LE", "CP932", bytes, Cp932Unit, kReplacementBytes));
}

std::string Utf16ToCp932(std::u16string_view text) {
  return IconvReplacing("CP932", "UTF-16LE", TextToUtf16LeBytes(text), Utf16LeUnit, "?");
}

std::u16string Utf16LeBytesToText(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                   (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

std::string TextToUtf16LeBytes(std::u16string_view text) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return out;
}

char16_t AsciiToLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
  }
  return true;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(static_cast<unsigned char>(a[i])) !=
        AsciiToLower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::u16string_view Trim(std::u16string_view text, std::u16string_view set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::u16string_view::npos) return {};
  const size_t last = text.find_last_not_of(set);
  return text.substr(first, last - first + 1);
}

std::u16string_view TrimRight(std::u16string_view text, std::u16string_view set) {
  const size_t last = text.find_last_not_of(set);
  if (last == std::u16string_view::npos) return {};
  return text.substr(0, last + 1);
}

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// East Asian Wide and Fullwidth characters (Unicode's EastAsianWidth W and F), by block.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};
// Combining marks, which take no column of their own.
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
};

bool In(const Range* begin, const Range* end, char32_t c) {
  return std::any_of(begin, end, [c](const Range& r) { return c >= r.first && c <= r.last; });
}

}  // namespace

size_t TerminalColumns(std::u16string_view text) {
  size_t columns = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || In(std::begin(kZero), std::end(kZero), c)) continue;
    columns += In(std::begin(kWide), std::end(kWide), c) ? 2 : 1;
  }
  return columns;
}

}  // namespace lorvane::platform
