// SPDX-License-Identifier: MIT
// Bytes as the tests write frames: upper-case hexadecimal pairs with a blank between.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace lorvane::pellix {

inline std::string Hex(const uint8_t* bytes, size_t size) {
  std::string out;
  char hex[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += hex;
  }
  return out;
}

}  // namespace lorvane::pellix
