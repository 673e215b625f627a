// SPDX-License-Identifier: MIT
// Turning the bytes of one record into a field value, and values into text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "viewer/carddef/card_definition_model.h"

namespace lorvane::carddef {

// Copies the field's bytes out of `record` (reversed when inverted), cuts the bit field and
// converts BCD, leaving the value in field.value. Bytes past the end of `record` read as 0.
void ExtractField(std::span<const uint8_t> record, FieldSpec& field);

struct CalendarDate {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
};

// 2000-01-01 plus `days` in the proleptic Gregorian calendar (through the Modified Julian
// Day number days + 51544).
CalendarDate DateFromDayCount(int32_t days);

// Inserts "," (after a digit) or " " every three characters left of the first "." (or the
// end). A text longer than capacity - capacity/3 stays as it is.
void InsertThousandsSeparators(std::u16string& text, uint16_t capacity);

// The bytes up to the first zero byte decoded as UTF-8; nullopt when they are not UTF-8.
std::optional<std::u16string> DecodeUtf8Text(std::span<const uint8_t> bytes);

}  // namespace lorvane::carddef
