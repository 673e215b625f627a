// SPDX-License-Identifier: MIT
#include "platform/safe_format.h"

#include "platform/text_codec.h"

#include <optional>

namespace lorvane::platform {
namespace {

constexpr size_t kMaxWidth = 4096;

struct Spec {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  size_t width = 0;
  std::optional<size_t> precision;
  bool starred = false;  // a '*' width or precision: not supported, the conversion is dropped
  char16_t conversion = 0;
  WidthUnit unit = WidthUnit::kCodeUnits;  // what the width counts
};

size_t ReadNumber(std::u16string_view f, size_t& i) {
  size_t n = 0;
  while (i < f.size() && f[i] >= u'0' && f[i] <= u'9') {
    n = std::min(kMaxWidth, n * 10 + static_cast<size_t>(f[i] - u'0'));
    ++i;
  }
  return n;
}

// Parses the conversion that starts after '%' at f[i]; returns nullopt for an incomplete one.
std::optional<Spec> ParseSpec(std::u16string_view f, size_t& i) {
  Spec s;
  for (; i < f.size(); ++i) {
    const char16_t c = f[i];
    if (c == u'-') {
      s.left = true;
    } else if (c == u'+') {
      s.plus = true;
    } else if (c == u' ') {
      s.space = true;
    } else if (c == u'#') {
      s.alternate = true;
    } else if (c == u'0') {
      s.zero = true;
    } else {
      break;
    }
  }
  auto star = [&] {
    if (i < f.size() && f[i] == u'*') s.starred = true, ++i;
  };
  star();
  s.width = ReadNumber(f, i);
  if (i < f.size() && f[i] == u'.') {
    ++i;
    star();
    s.precision = ReadNumber(f, i);
  }
  while (i < f.size() && (f[i] == u'h' || f[i] == u'l')) ++i;
  if (i >= f.size()) return std::nullopt;
  s.conversion = f[i++];
  return s;
}

std::u16string Digits(uint32_t value, uint32_t base, bool upper) {
  const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  std::u16string out;
  do {
    out.insert(out.begin(), digits[value % base]);
    value /= base;
  } while (value != 0);
  return out;
}

std::u16string Pad(std::u16string body, const Spec& s, size_t prefixLen, bool zeroAllowed) {
  const size_t width = s.unit == WidthUnit::kTerminalColumns ? TerminalColumns(body) : body.size();
  if (width >= s.width) return body;
  const size_t fill = s.width - width;
  if (s.left) return body + std::u16string(fill, u' ');
  if (s.zero && zeroAllowed) {
    return body.insert(prefixLen, std::u16string(fill, u'0'));
  }
  return std::u16string(fill, u' ') + body;
}

std::u16string FormatText(std::u16string text, const Spec& s) {
  if (s.precision && text.size() > *s.precision) text.resize(*s.precision);
  return Pad(std::move(text), s, 0, false);
}

std::u16string FormatInteger(int32_t value, const Spec& s) {
  const char16_t c = s.conversion;
  const bool isSigned = c == u'd' || c == u'i';
  const auto magnitude = static_cast<uint32_t>(
      isSigned && value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value));
  const uint32_t base = (c == u'x' || c == u'X') ? 16 : c == u'o' ? 8 : 10;
  std::u16string digits = Digits(magnitude, base, c == u'X');
  if (s.precision) {
    if (*s.precision == 0 && magnitude == 0) digits.clear();
    if (digits.size() < *s.precision) digits.insert(0, *s.precision - digits.size(), u'0');
  }
  std::u16string prefix;
  if (isSigned) {
    prefix = value < 0 ? u"-" : s.plus ? u"+" : s.space ? u" " : u"";
  } else if (s.alternate && magnitude != 0) {
    if (base == 16) prefix = c == u'X' ? u"0X" : u"0x";
    if (base == 8 && (digits.empty() || digits[0] != u'0')) prefix = u"0";
  }
  const size_t prefixLen = prefix.size();
  return Pad(prefix + digits, s, prefixLen, !s.precision);
}

std::u16string Convert(const Spec& s, std::span<const FormatArg> args, size_t& next) {
  const char16_t c = s.conversion;
  const bool numeric = c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X' || c == u'o';
  const bool text = c == u's' || c == u'S';
  if ((!numeric && !text && c != u'c') || s.starred) return {};
  if (next >= args.size()) return {};
  const FormatArg& arg = args[next++];
  if (arg.isText()) return FormatText(arg.text(), s);
  if (text) {
    Spec plain = s;
    plain.conversion = u'd';
    plain.zero = false;
    plain.precision.reset();
    return FormatInteger(arg.number(), plain);
  }
  if (c == u'c') return Pad(std::u16string(1, static_cast<char16_t>(arg.number())), s, 0, false);
  return FormatInteger(arg.number(), s);
}

}  // namespace

std::u16string SafeFormat(std::u16string_view format, std::span<const FormatArg> args,
                          WidthUnit unit) {
  std::u16string out;
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i++];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (i < format.size() && format[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    auto spec = ParseSpec(format, i);
    if (!spec) break;
    spec->unit = unit;
    out += Convert(*spec, args, next);
  }
  return out;
}

}  // namespace lorvane::platform
