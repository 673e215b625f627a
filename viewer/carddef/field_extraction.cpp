// SPDX-License-Identifier: MIT
#include "viewer/carddef/field_extraction.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/text_codec.h"

namespace lorvane::carddef {
namespace {

// Shifts the little-endian number in bytes[0, length) right by `bits`, zeros entering.
void ShiftRight(std::span<uint8_t> bytes, size_t length, size_t bits) {
  const size_t byteShift = bits / 8;
  const unsigned bitShift = bits % 8;
  for (size_t i = 0; i < length; ++i) {
    const size_t from = i + byteShift;
    const unsigned lo = from < length ? bytes[from] : 0;
    const unsigned hi = from + 1 < length ? bytes[from + 1] : 0;
    bytes[i] = static_cast<uint8_t>(((hi << 8 | lo) >> bitShift) & 0xFF);
  }
}

// Clears every bit above the low `bits` bits; a length beyond the buffer keeps everything.
void KeepLowBits(std::span<uint8_t> bytes, size_t bits) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bits >= 8 * (i + 1)) continue;
    const size_t keep = bits > 8 * i ? bits - 8 * i : 0;
    bytes[i] = static_cast<uint8_t>(bytes[i] & ((1u << keep) - 1));
  }
}

uint32_t BcdValue(std::span<const uint8_t> bytes, size_t n) {
  uint32_t v = 0;
  for (size_t i = std::min(n, bytes.size()); i-- > 0;) {
    v = v * 100 + static_cast<uint32_t>(bytes[i] >> 4) * 10 + (bytes[i] & 0x0F);
  }
  return v;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

void ExtractField(std::span<const uint8_t> record, FieldSpec& field) {
  const size_t length = field.byteLength;
  field.value.assign(field.BufferSize(), 0);
  for (size_t i = 0; i < length; ++i) {
    const size_t at = static_cast<size_t>(field.byteOffset) + i;
    const uint8_t byte = at < record.size() ? record[at] : 0;
    field.value[field.invert ? length - 1 - i : i] = byte;
  }
  std::span<uint8_t> buffer(field.value);
  if (field.function != kST) {
    // A whole range needs no cut: the buffer was zeroed beyond its bytes.
    const bool wholeRange = field.bitLength == 0 || field.bitLength == length * 8;
    if (!wholeRange) {
      const auto d = static_cast<int16_t>(length * 8 - field.bitOffset - field.bitLength);
      if (d > 0) ShiftRight(buffer, length, static_cast<size_t>(d));
      KeepLowBits(buffer, field.bitLength);
    }
    if (field.bcd) {
      const size_t n = field.bitLength != 0 ? field.bitLength / 8 : length;
      const uint32_t v = BcdValue(buffer, n);
      for (size_t i = 0; i < 4; ++i) buffer[i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
  field.valid = true;
}

CalendarDate DateFromDayCount(int32_t days) {
  const auto mjd = static_cast<int64_t>(std::floor(static_cast<double>(days) + 51544.01));
  int64_t d = mjd + 94493;  // days since 1600-03-01
  const int64_t cycles400 = FloorDiv(d, 146097);
  d -= cycles400 * 146097;
  const int64_t cycles100 = std::min<int64_t>(d / 36524, 3);
  d -= cycles100 * 36524;
  const int64_t cycles4 = d / 1461;
  d -= cycles4 * 1461;
  const int64_t years = std::min<int64_t>(d / 365, 3);
  d -= years * 365;
  int64_t year = 1600 + 400 * cycles400 + 100 * cycles100 + 4 * cycles4 + years;
  const int64_t m = (5 * d + 2) / 153;  // months counted from March
  const int64_t day = d - (153 * m + 2) / 5 + 1;
  int64_t month = m + 3;
  if (month > 12) {
    month -= 12;
    ++year;
  }
  return {static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)};
}

void InsertThousandsSeparators(std::u16string& text, uint16_t capacity) {
  if (text.size() > static_cast<size_t>(capacity - capacity / 3)) return;
  const size_t dot = text.find(u'.');
  const size_t p = dot == std::u16string::npos ? text.size() : dot;
  if (dot != std::u16string::npos && dot <= 3) return;
  for (ptrdiff_t i = static_cast<ptrdiff_t>(p) - 3; i > 0; i -= 3) {
    const char16_t before = text[static_cast<size_t>(i) - 1];
    const bool digit = before >= u'0' && before <= u'9';
    text.insert(static_cast<size_t>(i), 1, digit ? u',' : u' ');
  }
}

std::optional<std::u16string> DecodeUtf8Text(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<size_t>(end - bytes.begin()));
  return platform::Utf8ToUtf16(text);
}

}  // namespace lorvane::carddef
