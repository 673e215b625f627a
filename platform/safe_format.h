// SPDX-License-Identifier: MIT
// A printf-style formatter for formats that come from files. It never reads an argument
// that was not passed: a conversion with no argument left produces no text, a numeric
// conversion given a text inserts the text, %s given a number inserts its decimal text, and
// any conversion outside %d %i %u %x %X %o %c %s %S %% produces no text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lorvane::platform {

class FormatArg {
 public:
  FormatArg(int32_t number) : number_(number) {}  // NOLINT: implicit by design
  FormatArg(std::u16string text) : isText_(true), text_(std::move(text)) {}  // NOLINT
  FormatArg(const char16_t* text) : FormatArg(std::u16string(text)) {}       // NOLINT

  bool isText() const { return isText_; }
  int32_t number() const { return number_; }
  const std::u16string& text() const { return text_; }

 private:
  bool isText_ = false;
  int32_t number_ = 0;
  std::u16string text_;
};

// What a field width counts: UTF-16 code units (as the window and the JSON output show
// lines), or the columns a terminal gives the text (a wide Japanese character takes two), for
// text printed to a terminal.
enum class WidthUnit { kCodeUnits, kTerminalColumns };

// Flags "-+ #0", width and precision are honoured; h, l and ll are accepted and ignored.
std::u16string SafeFormat(std::u16string_view format, std::span<const FormatArg> args,
                          WidthUnit unit = WidthUnit::kCodeUnits);

}  // namespace lorvane::platform
