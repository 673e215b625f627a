// SPDX-License-Identifier: MIT
#include "plugins/pcscfelica/pcsc_felica_link.h"

#include <PCSC/pcsclite.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "pellix/reader_names.h"
#include "pellix/trace_channel.h"
#include "pellix/wire_format.h"

namespace lorvane::pcscfelica {
namespace {

using pellix::Outcome;
namespace wire = pellix::wire;

// A read of 12 blocks is a 205-byte frame; the data objects around it add a few bytes.
constexpr size_t kAnswerCapacity = 512;
// After the field comes back on, a card needs a moment before it answers.
constexpr auto kFieldSettles = std::chrono::milliseconds(20);
constexpr uint8_t kAnySystem = 0xFF;

bool CardGone(LONG result) {
  return result == SCARD_W_REMOVED_CARD || result == SCARD_E_NO_SMARTCARD ||
         result == SCARD_W_RESET_CARD;
}

}  // namespace

const char* CarrierName(Carrier carrier) {
  switch (carrier) {
    case Carrier::kTransparentTransmit:
      return "transparent exchange (transmit)";
    case Carrier::kTransparentEscape:
      return "transparent exchange (escape command)";
    case Carrier::kDirectTransmit:
      return "direct transmit";
    case Carrier::kNone:
      break;
  }
  return "none";
}

int16_t PcscFeliCaLink::Connect() {
  const int16_t status = pcsc_.Guarded([&] { return ConnectSteps(); });
  pellix::DebugTrace("Connect() : %s", pcsc_.statusText().c_str());
  return status;
}

int16_t PcscFeliCaLink::ConnectSteps() {
  carrier_ = Carrier::kNone;
  if (const int16_t status = pcsc_.ChooseReader(); status != FELICA_OK) return status;
  if (pellix::IsAcr122Reader(pcsc_.readerName()))
    return pcsc_.Report(Outcome::kReaderOfAnotherKind);
  const LONG result = pcsc_.ConnectShared();
  if (result == SCARD_S_SUCCESS) return Establish();
  if (result == SCARD_E_NO_SMARTCARD) return ConnectWithoutCard();
  return pcsc_.ApiError(result, FELICA_E_CONNECT);
}

// No card: the escape command reaches the reader without one when the driver allows it;
// otherwise wait for a card.
int16_t PcscFeliCaLink::ConnectWithoutCard() {
  if (pcsc_.ConnectDirect() == SCARD_S_SUCCESS) {
    const DWORD code = pcsc_.AnnouncedEscapeCode();
    if (code != 0) {
      pcsc_.SetEscapeCode(code);
      if (StartTransparentSession(Carrier::kTransparentEscape)) return FELICA_OK;
    }
    pcsc_.DropHandle();
  }
  pcsc_.AwaitCard();
  pcsc_.Report(Outcome::kCardNothing);
  return FELICA_OK;
}

int16_t PcscFeliCaLink::Establish() {
  if (StartTransparentSession(Carrier::kTransparentTransmit)) return FELICA_OK;
  if (const DWORD code = pcsc_.AnnouncedEscapeCode(); code != 0) {
    pcsc_.SetEscapeCode(code);
    if (StartTransparentSession(Carrier::kTransparentEscape)) return FELICA_OK;
  }
  if (AnswersDirectPolls()) {
    carrier_ = Carrier::kDirectTransmit;
    pellix::DebugTrace("FeliCa through : %s", CarrierName(carrier_));
    return FELICA_OK;
  }
  pcsc_.DropHandle();
  return pcsc_.Report(Outcome::kNoFeliCaPath);
}

bool PcscFeliCaLink::StartTransparentSession(Carrier carrier) {
  carrier_ = carrier;
  if (!Accepted(ManageSession(kStartSession))) {
    carrier_ = Carrier::kNone;
    return false;
  }
  if (!Accepted(SwitchToFeliCa())) {
    Accepted(ManageSession(kEndSession));
    carrier_ = Carrier::kNone;
    return false;
  }
  // Some readers leave the field as their own polling left it: off and on again.
  Accepted(ManageSession(kRfOff));
  Accepted(ManageSession(kRfOn));
  std::this_thread::sleep_for(kFieldSettles);
  pellix::DebugTrace("FeliCa through : %s", CarrierName(carrier_));
  return true;
}

bool PcscFeliCaLink::Accepted(std::span<const uint8_t> apdu) {
  std::vector<uint8_t> answer;
  return SendApdu(apdu, answer) == SCARD_S_SUCCESS &&
         ParseTransparentAnswer(answer).kind == TransparentAnswer::Kind::kOk;
}

bool PcscFeliCaLink::AnswersDirectPolls() {
  carrier_ = Carrier::kDirectTransmit;
  Delivery delivery = Deliver(wire::PollingPacket(kAnySystem, kAnySystem), FELICA_E_TRANSMIT);
  carrier_ = Carrier::kNone;
  return delivery.status == FELICA_OK && delivery.frame().size() >= wire::kPolledPacketBytes &&
         delivery.frame()[wire::kPacketCode] == wire::kPolling + wire::kResponseCodeStep;
}

LONG PcscFeliCaLink::SendApdu(std::span<const uint8_t> apdu, std::vector<uint8_t>& answer) {
  answer.assign(kAnswerCapacity, 0);
  size_t received = 0;
  const LONG result =
      carrier_ == Carrier::kTransparentEscape
          ? pcsc_.Control(pcsc_.escapeCode(), apdu, answer.data(), answer.size(), received)
          : pcsc_.Send(apdu, answer.data(), answer.size(), received);
  pcsc_.SetLastResult(result);
  answer.resize(result == SCARD_S_SUCCESS ? received : 0);
  return result;
}

PcscFeliCaLink::Delivery PcscFeliCaLink::Deliver(std::span<const uint8_t> frame, int16_t failure) {
  Delivery delivery;
  if (carrier_ == Carrier::kNone) {
    delivery.status = pcsc_.Report(Outcome::kNoFeliCaPath);
    return delivery;
  }
  const std::vector<uint8_t> apdu =
      carrier_ == Carrier::kDirectTransmit ? DirectTransmit(frame) : TransparentExchange(frame);
  if (const LONG result = SendApdu(apdu, delivery.answer); result != SCARD_S_SUCCESS) {
    delivery.status = CardLeft(result);
    return delivery;
  }
  if (carrier_ == Carrier::kDirectTransmit) {
    TakeDirect(delivery, failure);
  } else {
    TakeTransparent(delivery, failure);
  }
  if (delivery.status == FELICA_OK && !wire::WholeFrame(delivery.frame()))
    delivery.status = pcsc_.Report(Outcome::kMalformedAnswer);
  return delivery;
}

void PcscFeliCaLink::TakeTransparent(Delivery& delivery, int16_t failure) {
  const TransparentAnswer answer = ParseTransparentAnswer(delivery.answer);
  using Kind = TransparentAnswer::Kind;
  switch (answer.kind) {
    case Kind::kOk:
      if (!answer.hasResponse) {
        delivery.status = pcsc_.Report(Outcome::kMalformedAnswer);
        return;
      }
      delivery.frameAt = answer.responseAt;
      delivery.frameLength = answer.responseLength;
      delivery.status = FELICA_OK;
      return;
    case Kind::kCardSilent:
      delivery.cardSilent = true;
      delivery.status = pcsc_.Report(Outcome::kCardSilent, failure);
      return;
    case Kind::kFailed:
      pcsc_.SetStatusText(pellix::TransparentStatusText(answer.object, answer.sw1, answer.sw2));
      delivery.status = failure;
      return;
    case Kind::kStatusWord:
      pcsc_.SetStatusText(pellix::StatusWordText(answer.sw1, answer.sw2));
      delivery.status = failure;
      return;
    case Kind::kMalformed:
      delivery.status = pcsc_.Report(Outcome::kMalformedAnswer);
      return;
  }
}

// The card's frame, then 90 00; any other status word means the card gave no frame.
void PcscFeliCaLink::TakeDirect(Delivery& delivery, int16_t failure) {
  const std::span<const uint8_t> answer = delivery.answer;
  if (answer.size() < kStatusWordBytes) {
    delivery.status = pcsc_.Report(Outcome::kMalformedAnswer);
    return;
  }
  const uint8_t sw1 = answer[answer.size() - 2], sw2 = answer[answer.size() - 1];
  if (sw1 != kSwOk1 || sw2 != kSwOk2) {
    delivery.cardSilent = true;
    pcsc_.SetStatusText(pellix::StatusWordText(sw1, sw2));
    delivery.status = failure;
    return;
  }
  delivery.frameAt = 0;
  delivery.frameLength = answer.size() - kStatusWordBytes;
  delivery.status = FELICA_OK;
}

// A failed PC/SC call. A card that left a reader reached through it: wait for the next one.
int16_t PcscFeliCaLink::CardLeft(LONG result) {
  pcsc_.ApiError(result, FELICA_E_TRANSMIT);
  if (CardGone(result) && pcsc_.link() == pellix::Link::kCard) Lose();
  return FELICA_E_TRANSMIT;
}

void PcscFeliCaLink::Lose() {
  pcsc_.DropHandle();
  pcsc_.AwaitCard();
  carrier_ = Carrier::kNone;
}

int16_t PcscFeliCaLink::AttachCard() {
  if (!awaitingCard()) return FELICA_OK;
  const int16_t status = pcsc_.Guarded([&]() -> int16_t {
    const LONG result = pcsc_.ConnectShared();
    if (result == SCARD_S_SUCCESS) return Establish();
    if (CardGone(result)) {
      pcsc_.AwaitCard();
      return pcsc_.Report(Outcome::kCardNothing);
    }
    return pcsc_.ApiError(result, FELICA_E_CONNECT);
  });
  pellix::DebugTrace("Connect() : %s", pcsc_.statusText().c_str());
  return status;
}

int16_t PcscFeliCaLink::Disconnect() {
  if (carrier_ == Carrier::kTransparentTransmit || carrier_ == Carrier::kTransparentEscape) {
    Accepted(ManageSession(kEndSession));  // the reader goes back to polling on its own
  }
  carrier_ = Carrier::kNone;
  return pcsc_.Disconnect();
}

int16_t PcscFeliCaLink::PollCard(uint8_t systemHigh, uint8_t systemLow,
                                 std::optional<PolledCard>& found) {
  const Delivery delivery = Deliver(wire::PollingPacket(systemHigh, systemLow), FELICA_E_TRANSMIT);
  if (delivery.cardSilent) return pcsc_.Report(Outcome::kCardNothing);
  if (delivery.status != FELICA_OK) {
    const bool gone = pcsc_.lastResult() == SCARD_E_READER_UNAVAILABLE;
    return gone ? static_cast<int16_t>(FELICA_E_READER_GONE) : delivery.status;
  }
  const auto frame = delivery.frame();
  if (frame.size() < wire::kPolledPacketBytes ||
      frame[wire::kPacketCode] != wire::kPolling + wire::kResponseCodeStep) {
    return pcsc_.Report(Outcome::kWrongAnswer);
  }
  PolledCard card;
  std::copy_n(frame.begin() + wire::kPolledPacketIdm, card.idm.size(), card.idm.begin());
  std::copy_n(frame.begin() + wire::kPolledPacketPmm, card.pmm.size(), card.pmm.begin());
  found = card;
  return FELICA_OK;
}

int16_t PcscFeliCaLink::Transceive(std::span<const uint8_t> packet, size_t capacity, Reply& reply,
                                   int16_t failure) {
  reply.length = 0;
  reply.packet = 0;
  const Delivery delivery = Deliver(packet, failure);
  if (delivery.status != FELICA_OK) return delivery.status;
  if (!wire::Answers(packet, delivery.frame())) return pcsc_.Report(Outcome::kWrongAnswer);
  const size_t n = std::min({delivery.frame().size(), capacity, reply.bytes.size()});
  std::copy_n(delivery.frame().begin(), n, reply.bytes.begin());
  reply.length = n;
  reply.announced = delivery.frame().size() + kStatusWordBytes;
  return FELICA_OK;
}

}  // namespace lorvane::pcscfelica
