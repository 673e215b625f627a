// SPDX-License-Identifier: MIT
// The PC/SC transparent exchange's answers, as any reader might send them: the parser says
// what they hold without reading past their end, and a card frame it finds lies inside the
// answer, after the generic status it needs.
#include <cstddef>
#include <cstdint>
#include <span>

#include "plugins/pcscfelica/transparent_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lorvane::pcscfelica::ParseTransparentAnswer;
  using Kind = lorvane::pcscfelica::TransparentAnswer::Kind;
  const auto answer = ParseTransparentAnswer(std::span(data, size));
  if (answer.hasResponse) {
    if (answer.kind == Kind::kMalformed || answer.kind == Kind::kStatusWord) __builtin_trap();
    if (answer.responseAt > size || answer.responseLength > size - answer.responseAt)
      __builtin_trap();
  }
  if (answer.kind == Kind::kOk && (answer.sw1 != 0x90 || answer.sw2 != 0x00)) __builtin_trap();
  return 0;
}
