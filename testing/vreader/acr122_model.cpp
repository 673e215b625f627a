// SPDX-License-Identifier: MIT
#include "testing/vreader/acr122_model.h"

#include <algorithm>
#include <utility>

namespace lorvane::vreader {
namespace {

const Bytes kFailed = {0x63, 0x00};
const Bytes kCommandWrong = {0x63, 0x7F};
const Bytes kFirmware = {'A', 'C', 'R', '1', '2', '2', 'U', '2', '0', '3'};
constexpr size_t kBlinkEvery = 7;

}  // namespace

Bytes Acr122Model::Transmit(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                            const ControlState& control) {
  if (apdu.size() == 5 && apdu[0] == 0xFF && apdu[1] == 0xC0 && apdu[2] == 0 && apdu[3] == 0) {
    if (pending_.empty()) return kFailed;  // nothing waiting, as always on the PICC reader
    Bytes answer = std::move(pending_);
    pending_.clear();
    const size_t wanted = apdu[4] == 0 ? 256 : apdu[4];
    answer.resize(std::min(answer.size(), wanted));
    if (control.Has("short-reply")) answer.resize(std::min<size_t>(answer.size(), 3));
    return answer;
  }
  if (apdu.size() == 5 && apdu[0] == 0xFF && apdu[1] == 0x00 && apdu[2] == 0x48) {
    return kFirmware;
  }
  if (apdu.size() < 7 || apdu[0] != 0xFF || apdu[1] != 0 || apdu[2] != 0 || apdu[3] != 0 ||
      apdu[5] != 0xD4) {
    return {0x6D, 0x00};
  }
  if (apdu[4] != apdu.size() - 5) return {0x67, 0x00};
  if (control.Has("reader-error")) return kFailed;
  Bytes answer = Pn532(apdu.subspan(6), card, control);
  if (kind_ == ReaderKind::kPicc || answer.size() <= 2) {  // one reply, or an error status word
    if (control.Has("short-reply")) answer.resize(std::min<size_t>(answer.size(), 3));
    return answer;
  }
  pending_ = std::move(answer);
  const size_t announced = pending_.size() + (control.Has("long-length") ? 40 : 0);
  return {0x61, static_cast<uint8_t>(std::min<size_t>(announced, 0xFF))};
}

Bytes Acr122Model::Pn532(std::span<const uint8_t> command, FeliCaCardModel* card,
                         const ControlState& control) {
  Bytes answer;
  switch (command[0]) {
    case 0x32:  // RFConfiguration
      answer = {0xD5, 0x33};
      break;
    case 0x4A:
      answer = InListPassiveTarget(command, card);
      break;
    case 0x40:
      answer = InDataExchange(command, card, control);
      break;
    default:
      return kCommandWrong;
  }
  answer.insert(answer.end(), {0x90, 0x00});
  return answer;
}

Bytes Acr122Model::InListPassiveTarget(std::span<const uint8_t> command, FeliCaCardModel* card) {
  // 4A MaxTg BrTy then the polling packet without its length: 00 S1 S2 RC TSN.
  targetSelected_ = false;
  if (command.size() != 8 || command[1] != 0x01 || (command[2] != 0x01 && command[2] != 0x02) ||
      command[3] != 0x00) {
    return {0xD5, 0x4B, 0x00};
  }
  const auto systemCode = static_cast<uint16_t>(command[4] << 8 | command[5]);
  if (missedAPoll_) {  // the card lifted by a blink is still away
    missedAPoll_ = false;
    return {0xD5, 0x4B, 0x00};
  }
  const auto response = card != nullptr ? card->Poll(systemCode, command[6]) : std::nullopt;
  if (!response) return {0xD5, 0x4B, 0x00};
  targetSelected_ = true;
  Bytes answer = {0xD5, 0x4B, 0x01, 0x01, static_cast<uint8_t>(response->size() + 1)};
  answer.insert(answer.end(), response->begin(), response->end());
  return answer;
}

Bytes Acr122Model::InDataExchange(std::span<const uint8_t> command, FeliCaCardModel* card,
                                  const ControlState& control) {
  if (!targetSelected_ || command.size() < 2 || command[1] != 0x01) return {0xD5, 0x41, 0x27};
  if (control.Has("blink") && ++exchanges_ % kBlinkEvery == 0) {
    missedAPoll_ = true;
    return {0xD5, 0x41, 0x01};  // lifted for a moment: silent now, away at the next poll
  }
  auto response = card != nullptr ? card->Command(command.subspan(2)) : std::nullopt;
  if (!response) return {0xD5, 0x41, 0x01};  // the card stayed silent
  Bytes& r = *response;
  if (control.Has("cut-reads") && r.size() > 13 && r[1] == 0x07) r.resize(13 + 8);
  if (control.Has("extra-blocks") && r.size() > 13 && r[1] == 0x07 && r[10] == 0) {
    r[12] = static_cast<uint8_t>(r[12] + 1);
    r.insert(r.end(), 16, 0xEE);
    r[0] = static_cast<uint8_t>(r.size());
  }
  if (control.Has("syscode-count") && r.size() > 10 && r[1] == 0x0D) r[10] = 0xFF;
  Bytes answer = {0xD5, 0x41, 0x00};
  answer.insert(answer.end(), r.begin(), r.end());
  return answer;
}

}  // namespace lorvane::vreader
