// SPDX-License-Identifier: MIT
#include "plugins/pcscfelica/transparent_frames.h"

#include <optional>

namespace lorvane::pcscfelica {
namespace {

constexpr uint8_t kLe = 0x00;
constexpr uint8_t kExtendedLength = 0x00;
constexpr uint8_t kMultiByteTag = 0x1F;
constexpr uint8_t kMoreTagBytes = 0x80;

void AppendBerLength(std::vector<uint8_t>& out, size_t length) {
  if (length < 0x80) {
    out.push_back(static_cast<uint8_t>(length));
  } else if (length <= 0xFF) {
    out.insert(out.end(), {kBerLength1, static_cast<uint8_t>(length)});
  } else {
    out.insert(out.end(),
               {kBerLength2, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  }
}

// FF C2 00 P2, Lc (short, or extended past 255 bytes), the data objects, Le.
std::vector<uint8_t> TransparentCommand(TransparentFunction function,
                                        const std::vector<uint8_t>& objects) {
  std::vector<uint8_t> apdu = {kApduClass, kInsTransparent, 0x00, function};
  if (objects.size() <= kMaxShortLc) {
    apdu.push_back(static_cast<uint8_t>(objects.size()));
    apdu.insert(apdu.end(), objects.begin(), objects.end());
    apdu.push_back(kLe);
    return apdu;
  }
  apdu.insert(apdu.end(), {kExtendedLength, static_cast<uint8_t>(objects.size() >> 8),
                           static_cast<uint8_t>(objects.size())});
  apdu.insert(apdu.end(), objects.begin(), objects.end());
  apdu.insert(apdu.end(), {kLe, kLe});
  return apdu;
}

// Reads one tag and length at `at` in `body`; the value must lie inside it.
struct DataObject {
  uint16_t tag = 0;
  size_t valueAt = 0;
  size_t length = 0;
};

std::optional<DataObject> NextObject(std::span<const uint8_t> body, size_t at) {
  if (at >= body.size()) return std::nullopt;
  DataObject object;
  object.tag = body[at++];
  if ((object.tag & kMultiByteTag) == kMultiByteTag) {
    if (at >= body.size() || (body[at] & kMoreTagBytes) != 0) return std::nullopt;
    object.tag = static_cast<uint16_t>(object.tag << 8 | body[at++]);
  }
  if (at >= body.size()) return std::nullopt;
  const uint8_t first = body[at++];
  size_t lengthBytes = 0;
  if (first == kBerLength1) lengthBytes = 1;
  if (first == kBerLength2) lengthBytes = 2;
  if (first >= 0x80 && lengthBytes == 0) return std::nullopt;
  if (at + lengthBytes > body.size()) return std::nullopt;
  object.length = lengthBytes == 0 ? first : 0;
  for (size_t i = 0; i < lengthBytes; ++i) object.length = object.length << 8 | body[at++];
  if (object.length > body.size() - at) return std::nullopt;
  object.valueAt = at;
  return object;
}

TransparentAnswer::Kind StatusKind(uint8_t sw1, uint8_t sw2) {
  if (sw1 == kSwOk1 && sw2 == kSwOk2) return TransparentAnswer::Kind::kOk;
  if (sw1 == kSwNoIccResponse1 && sw2 == kSwNoIccResponse2)
    return TransparentAnswer::Kind::kCardSilent;
  return TransparentAnswer::Kind::kFailed;
}

}  // namespace

std::vector<uint8_t> ManageSession(SessionObject object) {
  return TransparentCommand(kManageSession, {object, 0x00});
}

std::vector<uint8_t> SwitchToFeliCa() {
  return TransparentCommand(kSwitchProtocol,
                            {kTagSwitchProtocol, 0x02, kStandardFeliCa, kNoLayerSeparation});
}

std::vector<uint8_t> TransparentExchange(std::span<const uint8_t> frame,
                                         uint32_t timerMicroseconds) {
  std::vector<uint8_t> objects = {kTagTimer1,
                                  kTagTimer2,
                                  kTimerBytes,
                                  static_cast<uint8_t>(timerMicroseconds),
                                  static_cast<uint8_t>(timerMicroseconds >> 8),
                                  static_cast<uint8_t>(timerMicroseconds >> 16),
                                  static_cast<uint8_t>(timerMicroseconds >> 24),
                                  kTagTransceive};
  AppendBerLength(objects, frame.size());
  objects.insert(objects.end(), frame.begin(), frame.end());
  return TransparentCommand(kTransparentExchange, objects);
}

TransparentAnswer ParseTransparentAnswer(std::span<const uint8_t> answer) {
  TransparentAnswer result;
  if (answer.size() < kStatusWordBytes) return result;
  const size_t n = answer.size();
  if (answer[n - 2] != kSwOk1 || answer[n - 1] != kSwOk2) {
    result.kind = TransparentAnswer::Kind::kStatusWord;
    result.sw1 = answer[n - 2];
    result.sw2 = answer[n - 1];
    return result;
  }
  const auto body = answer.first(n - kStatusWordBytes);
  bool status = false;
  for (size_t at = 0; at < body.size();) {
    const auto object = NextObject(body, at);
    if (!object) return TransparentAnswer{};
    if (object->tag == kTagGenericStatus) {
      if (status || object->length != kGenericStatusBytes) return TransparentAnswer{};
      status = true;
      result.object = body[object->valueAt];
      result.sw1 = body[object->valueAt + 1];
      result.sw2 = body[object->valueAt + 2];
    } else if (object->tag == kTagIccResponse) {
      if (result.hasResponse) return TransparentAnswer{};
      result.hasResponse = true;
      result.responseAt = object->valueAt;
      result.responseLength = object->length;
    }
    at = object->valueAt + object->length;
  }
  if (!status) return TransparentAnswer{};
  result.kind = StatusKind(result.sw1, result.sw2);
  return result;
}

std::vector<uint8_t> DirectTransmit(std::span<const uint8_t> frame) {
  std::vector<uint8_t> apdu = {kApduClass, kInsDirectTransmit, 0x00, 0x00,
                               static_cast<uint8_t>(frame.size())};
  apdu.insert(apdu.end(), frame.begin(), frame.end());
  return apdu;
}

}  // namespace lorvane::pcscfelica
