// SPDX-License-Identifier: MIT
#include "pellix/acr122_link.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "pellix/trace_channel.h"
#include "pellix/wire_format.h"

namespace lorvane::pellix {

using namespace wire;

int16_t Acr122Link::Connect() {
  const int16_t status = pcsc_.Guarded([&] { return ConnectSteps(); });
  DebugTrace("Connect() : %s", pcsc_.statusText().c_str());
  return status;
}

int16_t Acr122Link::ConnectSteps() {
  if (const int16_t status = pcsc_.ChooseReader(); status != FELICA_OK) return status;
  const LONG result = pcsc_.ConnectShared();
  if (result == SCARD_S_SUCCESS) return SetRetryTime();
  if (result == SCARD_E_NO_SMARTCARD && !IsSamReader(pcsc_.readerName())) {
    // Another make's FeliCa reader is the PC/SC FeliCa plug-in's: the PN532 commands would
    // reach it only to be refused once a card lies on it.
    if (IsOtherFeliCaReader(pcsc_.readerName())) return pcsc_.Report(Outcome::kReaderOfAnotherKind);
    return ConnectWithoutCard();
  }
  return pcsc_.ApiError(result, FELICA_E_CONNECT);
}

// No card on a reader without a SAM: the escape command when the driver allows it, else
// wait for a card.
int16_t Acr122Link::ConnectWithoutCard() {
  if (pcsc_.ConnectDirect() == SCARD_S_SUCCESS) {
    if (ProbeEscape()) return SetRetryTime();
    pcsc_.DropHandle();
  }
  pcsc_.AwaitCard();
  pcsc_.Report(Outcome::kCardNothing);
  return FELICA_OK;
}

bool Acr122Link::ProbeEscape() {
  std::array<uint8_t, kReplyCapacity> answer{};
  size_t received = 0;
  pcsc_.SetLastResult(pcsc_.Send(kFirmwareVersion, answer.data(), answer.size(), received));
  if (pcsc_.lastResult() != SCARD_S_SUCCESS) return false;
  firmware_.clear();
  for (size_t i = 0; i < std::min(received, kFirmwareVersionBytes); ++i) {
    const char c = static_cast<char>(answer[i]);
    firmware_ += (c >= ' ' && c <= '~') ? c : '?';
  }
  DebugTrace("Reader firmware : %s", firmware_.c_str());
  return true;
}

int16_t Acr122Link::AttachCard() {
  if (pcsc_.link() != Link::kAwaitingCard) return FELICA_OK;
  const int16_t status = pcsc_.Guarded([&]() -> int16_t {
    const LONG result = pcsc_.ConnectShared();
    if (result == SCARD_S_SUCCESS) return SetRetryTime();
    if (result == SCARD_E_NO_SMARTCARD || result == SCARD_W_REMOVED_CARD) {
      return pcsc_.Report(Outcome::kCardNothing);
    }
    return pcsc_.ApiError(result, FELICA_E_CONNECT);
  });
  DebugTrace("Connect() : %s", pcsc_.statusText().c_str());
  return status;
}

int16_t Acr122Link::SetRetryTime() {
  Reply reply;
  const int16_t status = Exchange(MaxRetriesZero(), kReplyCapacity, reply);
  DebugTrace("SetRetryTime() : %s", pcsc_.statusText().c_str());
  return status;
}

int16_t Acr122Link::PollCard(uint8_t systemHigh, uint8_t systemLow,
                             std::optional<PolledCard>& found) {
  Reply reply;
  const int16_t status = Exchange(ListFeliCaTarget(systemHigh, systemLow), kReplyCapacity, reply,
                                  FELICA_E_READER_GONE);
  if (status != FELICA_OK) return status;
  if (reply.Has(kReplyTargetCount) && reply[kReplyTargetCount] != 0) {
    if (!reply.Has(kPolledLast)) return pcsc_.Report(Outcome::kReplyTooShort);
    PolledCard card;
    std::memcpy(card.idm.data(), &reply.bytes[kPolledIdm], card.idm.size());
    std::memcpy(card.pmm.data(), &reply.bytes[kPolledPmm], card.pmm.size());
    found = card;
    return FELICA_OK;
  }
  return pcsc_.Report(Outcome::kCardNothing);
}

// InDataExchange, then the PN532's status byte: a missing byte counts as a failure.
int16_t Acr122Link::Transceive(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                               int16_t failure) {
  const int16_t status = Exchange(DataExchange(packet), capacity, reply);
  if (status != FELICA_OK) return status;
  reply.packet = kReplyPacket;
  if (!reply.Has(kReplyStatus)) return pcsc_.Report(Outcome::kReplyTooShort, failure);
  if (reply[kReplyStatus] != 0) {
    pcsc_.SetStatusText(Pn532ErrorText(reply[kReplyStatus]));
    return failure;
  }
  // An answer that ends with the PN532's status is too short for any command; one whose LEN
  // byte disagrees with its length, or that answers another command or card, is not believed.
  const std::span<const uint8_t> frame = FrameOf(reply);
  if (frame.empty()) return pcsc_.Report(Outcome::kReplyTooShort, failure);
  if (!wire::WholeFrame(frame)) return pcsc_.Report(Outcome::kMalformedAnswer);
  if (!wire::Answers(packet, frame)) return pcsc_.Report(Outcome::kWrongAnswer);
  return FELICA_OK;
}

// The card's frame in an InDataExchange answer: after the PN532's status, up to the status
// word.
std::span<const uint8_t> Acr122Link::FrameOf(const Reply& reply) {
  size_t end = reply.length;
  if (end >= kReplyPacket + kStatusWordBytes && reply[end - 2] == kSwOk1 &&
      reply[end - 1] == kSwOk2)
    end -= kStatusWordBytes;
  if (end <= kReplyPacket) return {};
  return {reply.bytes.data() + kReplyPacket, end - kReplyPacket};
}

int16_t Acr122Link::Exchange(std::span<const uint8_t> pn532Command, size_t capacity, Reply& reply,
                             int16_t unavailableStatus) {
  return pcsc_.Guarded([&]() -> int16_t {
    capacity = std::min(capacity, reply.bytes.size());
    reply.length = 0;
    if (pn532Command.size() > kMaxDirectTransmit) return pcsc_.Report(Outcome::kInvalidParameter);
    const LONG result =
        pcsc_.Send(DirectTransmit(pn532Command), reply.bytes.data(), capacity, reply.length);
    pcsc_.SetLastResult(result);
    if (result != SCARD_S_SUCCESS) {
      pcsc_.ApiError(result, FELICA_E_TRANSMIT);
      const bool cardLeft = result == SCARD_W_REMOVED_CARD || result == SCARD_E_NO_SMARTCARD;
      if (cardLeft && pcsc_.link() == Link::kCard && !IsSamReader(pcsc_.readerName())) {
        pcsc_.DropHandle();
        pcsc_.AwaitCard();
      }
      if (unavailableStatus != 0 && result == SCARD_E_READER_UNAVAILABLE) return unavailableStatus;
      return FELICA_E_TRANSMIT;
    }
    return TakeAnswer(capacity, reply);
  });
}

// The first reply is "61 L" (fetch L bytes with GET RESPONSE) or the whole answer with 90 00.
int16_t Acr122Link::TakeAnswer(size_t capacity, Reply& reply) {
  const size_t n = reply.length;
  const bool wholeAnswer = n > kStatusWordBytes && reply[n - 2] == kSwOk1 && reply[n - 1] == kSwOk2;
  if (wholeAnswer && reply[0] != kSwBytesWaiting) {
    reply.announced = n;
    return FELICA_OK;
  }
  if (n < kStatusWordBytes || reply[0] != kSwBytesWaiting) {
    pcsc_.SetStatusText(StatusWordText(reply[0], reply[1]));
    reply.length = 0;
    return FELICA_E_TRANSMIT;
  }
  reply.announced = reply[1];
  const LONG result = pcsc_.Send(GetResponse(reply[1]), reply.bytes.data(), capacity, reply.length);
  pcsc_.SetLastResult(result);
  if (result != SCARD_S_SUCCESS) return pcsc_.ApiError(result, FELICA_E_TRANSMIT);
  return FELICA_OK;
}

}  // namespace lorvane::pellix
