// SPDX-License-Identifier: MIT
#include "pellix/reader_names.h"

#include <array>
#include <string_view>

#include "pellix/wire_format.h"

namespace lorvane::pellix {
namespace {

constexpr std::string_view kAcr122 = "ACR122";
constexpr std::string_view kPicc = "PICC";
constexpr std::array<std::string_view, 6> kOtherFeliCaReaders = {"RC-S300", "RC-S660", "ACR1251",
                                                                 "ACR1252", "3700 F",  "3701 F"};

bool Contains(const std::string& name, std::string_view part) {
  return name.find(part) != std::string::npos;
}

}  // namespace

bool IsAcr122Reader(const std::string& name) { return Contains(name, kAcr122); }

bool IsSamReader(const std::string& name) {
  return IsAcr122Reader(name) && !Contains(name, wire::kPiccFirmwarePrefix) &&
         !Contains(name, kPicc);
}

bool IsOtherFeliCaReader(const std::string& name) {
  for (std::string_view part : kOtherFeliCaReaders) {
    if (Contains(name, part)) return true;
  }
  return false;
}

}  // namespace lorvane::pellix
