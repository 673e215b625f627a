// SPDX-License-Identifier: MIT
#include "testing/vreader/transparent_reader_model.h"

#include <algorithm>

namespace lorvane::vreader {
namespace {

const Bytes kOk = {0x90, 0x00};
const Bytes kInsNotSupported = {0x6D, 0x00};
const Bytes kWrongLength = {0x67, 0x00};
const Bytes kNoAnswer = {0x63, 0x00};

// The transparent exchange's answers: the generic status object C0, then the command's own
// 90 00.
Bytes Status(uint8_t object, uint8_t sw1, uint8_t sw2) {
  return {0xC0, 0x03, object, sw1, sw2, 0x90, 0x00};
}
const Bytes kAccepted = Status(0x00, 0x90, 0x00);
const Bytes kRefused = Status(0x01, 0x63, 0x01);
const Bytes kMalformed = Status(0x01, 0x64, 0x01);
const Bytes kNotSupported = Status(0x01, 0x6A, 0x81);
const Bytes kCardSilent = Status(0x02, 0x64, 0x01);

void AppendLength(Bytes& out, size_t length) {
  if (length >= 0x80) out.push_back(0x81);
  out.push_back(static_cast<uint8_t>(length));
}

// The data objects of a command body: tag (one or two bytes), one-byte or 81 LL length.
struct Object {
  unsigned tag;
  std::span<const uint8_t> value;
};

std::vector<Object> Objects(std::span<const uint8_t> body, bool& malformed) {
  std::vector<Object> objects;
  malformed = false;
  for (size_t at = 0; at < body.size();) {
    unsigned tag = body[at++];
    if ((tag & 0x1F) == 0x1F && at < body.size()) tag = tag << 8 | body[at++];
    if (at >= body.size()) return malformed = true, objects;
    size_t length = body[at++];
    if (length == 0x81 && at < body.size()) length = body[at++];
    if (length > body.size() - at) return malformed = true, objects;
    objects.push_back({tag, body.subspan(at, length)});
    at += length;
  }
  return objects;
}

// Lc and the body of a short or extended APDU; Le is ignored.
std::span<const uint8_t> Body(std::span<const uint8_t> apdu, bool& ok) {
  ok = false;
  if (apdu.size() < 5) return {};
  size_t lc = apdu[4], at = 5;
  if (lc == 0 && apdu.size() >= 7) {
    lc = static_cast<size_t>(apdu[5] << 8 | apdu[6]);
    at = 7;
  }
  if (apdu.size() < at + lc) return {};
  ok = true;
  return apdu.subspan(at, lc);
}

}  // namespace

std::optional<Bytes> CardAnswer(std::span<const uint8_t> frame, FeliCaCardModel* card) {
  if (card == nullptr || frame.size() < 2 || frame[0] != frame.size()) return std::nullopt;
  if (frame[1] != 0x00) return card->Command(frame);
  if (frame.size() != 6) return std::nullopt;
  auto response = card->Poll(static_cast<uint16_t>(frame[2] << 8 | frame[3]), frame[4]);
  if (!response) return std::nullopt;
  response->insert(response->begin(), static_cast<uint8_t>(response->size() + 1));
  return response;
}

Bytes TransparentReaderModel::Transmit(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                                       const ControlState& control, bool escape) {
  if (apdu.size() < 4 || apdu[0] != 0xFF) return kInsNotSupported;
  if (apdu[1] == 0xCA && apdu[2] == 0x00) {
    if (card == nullptr || card->image().systems.empty()) return kNoAnswer;
    Bytes idm(card->image().idm.begin(), card->image().idm.end());
    idm.insert(idm.end(), kOk.begin(), kOk.end());
    return idm;
  }
  if (control.Has("reader-error")) return kNoAnswer;
  if (apdu[1] == 0xC2 && kind_ != TransparentKind::kPlain) {
    if (!escape && control.Has("transmit-refused")) return kInsNotSupported;
    return Transparent(apdu, card, control);
  }
  if (apdu[1] == 0x00 && kind_ == TransparentKind::kAcr1252 && apdu[2] == 0 && apdu[3] == 0)
    return DirectTransmit(apdu, card, control);
  return kInsNotSupported;
}

Bytes TransparentReaderModel::Transparent(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                                          const ControlState& control) {
  bool ok = false;
  const auto body = Body(apdu, ok);
  if (!ok || apdu[2] != 0x00) return kWrongLength;
  switch (apdu[3]) {
    case 0x00:
      return ManageSession(body);
    case 0x01:
      return Exchange(body, card, control);
    case 0x02:
      return SwitchProtocol(body);
    default:
      return kNotSupported;
  }
}

Bytes TransparentReaderModel::ManageSession(std::span<const uint8_t> body) {
  bool malformed = false;
  const auto objects = Objects(body, malformed);
  if (malformed || objects.size() != 1 || !objects[0].value.empty()) return kMalformed;
  switch (objects[0].tag) {
    case 0x81:
      session_ = true;
      feliCa_ = false;
      return kAccepted;
    case 0x82:
      session_ = feliCa_ = false;
      return kAccepted;
    case 0x83:
    case 0x84:
      return session_ ? kAccepted : kRefused;  // the field is the reader's outside a session
    default:
      return kNotSupported;
  }
}

Bytes TransparentReaderModel::SwitchProtocol(std::span<const uint8_t> body) {
  bool malformed = false;
  const auto objects = Objects(body, malformed);
  if (malformed || objects.size() != 1 || objects[0].tag != 0x8F) return kMalformed;
  if (objects[0].value.size() != 2) return Status(0x01, 0x67, 0x00);
  if (!session_) return kRefused;
  feliCa_ = objects[0].value[0] == 0x03 && objects[0].value[1] == 0x00;
  return feliCa_ ? kAccepted : kNotSupported;
}

// 5F 46 (the timer, which this reader insists on) and 95 (the frame to the card).
Bytes TransparentReaderModel::Exchange(std::span<const uint8_t> body, FeliCaCardModel* card,
                                       const ControlState& control) {
  bool malformed = false;
  const auto objects = Objects(body, malformed);
  if (malformed) return kMalformed;
  const auto timer =
      std::find_if(objects.begin(), objects.end(), [](const Object& o) { return o.tag == 0x5F46; });
  const auto frame =
      std::find_if(objects.begin(), objects.end(), [](const Object& o) { return o.tag == 0x95; });
  if (timer == objects.end() || frame == objects.end()) return kMalformed;
  if (!session_ || !feliCa_) return kRefused;
  if (control.Has("c0-failure")) return Status(0x02, 0x6F, 0x00);
  auto answer = CardAnswer(frame->value, card);
  if (!answer) return kCardSilent;
  Bytes& r = *answer;
  if (control.Has("wrong-code") && r.size() > 1) r[1] = static_cast<uint8_t>(r[1] + 2);
  if (control.Has("wrong-idm") && r.size() > 9) r[9] ^= 0xFF;
  Bytes out = {0xC0, 0x03, 0x00, 0x90, 0x00, 0x92, 0x01, 0x00, 0x96, 0x02, 0x00, 0x00};
  if (!control.Has("no-response-object")) {
    out.push_back(0x97);
    AppendLength(out, r.size() + (control.Has("long-length") ? 40 : 0));
    out.insert(out.end(), r.begin(), r.end());
  }
  if (control.Has("short-reply")) out.resize(std::min<size_t>(out.size(), 16));
  out.insert(out.end(), kOk.begin(), kOk.end());
  return out;
}

Bytes TransparentReaderModel::DirectTransmit(std::span<const uint8_t> apdu, FeliCaCardModel* card,
                                             const ControlState& control) {
  bool ok = false;
  const auto frame = Body(apdu, ok);
  if (!ok) return kWrongLength;
  auto answer = CardAnswer(frame, card);
  if (!answer) return kNoAnswer;
  if (control.Has("short-reply")) answer->resize(std::min<size_t>(answer->size(), 5));
  answer->insert(answer->end(), kOk.begin(), kOk.end());
  return *answer;
}

}  // namespace lorvane::vreader
