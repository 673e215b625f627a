// SPDX-License-Identifier: MIT
// The virtual readers as an IFD handler that pcscd loads. Each reader's DEVICENAME is
// "<kind>:<control folder>": "vreader" for the ACR122 with a SAM, "vreaderu" for the ACR122U's
// PICC interface, "vrcs300", "vacr1252" and "vplain" for the readers of
// transparent_reader_model.h; see reader_control.h for what the folder holds.
#include <PCSC/pcsclite.h>
#include <PCSC/wintypes.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "cardimage/card_image.h"
#include "testing/vreader/acr122_model.h"
#include "testing/vreader/transparent_reader_model.h"

extern "C" {
#include <PCSC/ifdhandler.h>
}

namespace {

using namespace lorvane::vreader;

const std::map<std::string, ReaderKind> kDevices = {{"vreader", ReaderKind::kSam},
                                                    {"vreaderu", ReaderKind::kPicc},
                                                    {"vrcs300", ReaderKind::kRcS300},
                                                    {"vacr1252", ReaderKind::kAcr1252},
                                                    {"vplain", ReaderKind::kPlain}};
// Control codes of the reader driver: the escape command, and the feature list in which the
// escape appears (tag 0x13, its code big-endian) only when the driver allows it.
constexpr DWORD kEscapeCode = 0x42000001;
constexpr DWORD kGetFeatureRequest = 0x42000000 + 3400;
constexpr uint8_t kEscapeFeature[] = {0x13, 0x04, 0x42, 0x00, 0x00, 0x01};
// libccid's list for a reader without a PIN pad: the TLV properties, then the escape.
constexpr uint8_t kCcidFeatures[] = {0x12, 0x04, 0x42, 0x33, 0x00, 0x12,
                                     0x13, 0x04, 0x42, 0x00, 0x00, 0x01};
constexpr size_t kCcidFeaturesWithoutEscape = 6;

TransparentKind TransparentKindOf(ReaderKind kind) {
  if (kind == ReaderKind::kRcS300) return TransparentKind::kRcS300;
  if (kind == ReaderKind::kAcr1252) return TransparentKind::kAcr1252;
  return TransparentKind::kPlain;
}

struct VirtualReader {
  std::filesystem::path control;
  ReaderKind kind = ReaderKind::kSam;
  Acr122Model reader{ReaderKind::kSam};
  TransparentReaderModel transparent{TransparentKind::kPlain};
  // Every reader but the ACR122 with a SAM has a card only while one lies on it.
  bool picc() const { return kind != ReaderKind::kSam; }
  bool acr122() const { return kind == ReaderKind::kSam || kind == ReaderKind::kPicc; }
  Bytes Transmit(std::span<const uint8_t> apdu, const ControlState& state, bool escape) {
    if (acr122()) return reader.Transmit(apdu, Card(state), state);
    return transparent.Transmit(apdu, Card(state), state, escape);
  }
  std::unique_ptr<FeliCaCardModel> card;
  std::string cardPath;
  std::filesystem::file_time_type cardTime;

  // The card in the field now; reloaded when the control folder names another file or the
  // file changed, so writes to the card persist until then.
  FeliCaCardModel* Card(const ControlState& state) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(state.cardPath, ec);
    if (state.cardPath.empty() || ec) {
      card.reset();
      cardPath.clear();
      return nullptr;
    }
    if (card == nullptr || state.cardPath != cardPath || time != cardTime) {
      std::string error;
      auto image = lorvane::cardimage::LoadCardImage(state.cardPath, error);
      card = image ? std::make_unique<FeliCaCardModel>(std::move(*image)) : nullptr;
      cardPath = state.cardPath;
      cardTime = time;
    }
    return card.get();
  }
};

std::mutex g_mutex;
std::map<DWORD, VirtualReader> g_readers;

VirtualReader* Find(DWORD lun) {
  const auto it = g_readers.find(lun >> 16);
  return it == g_readers.end() ? nullptr : &it->second;
}

// The reader's "card": the SAM, always there, or the FeliCa card on the PICC interface.
std::span<const unsigned char> AtrOf(const VirtualReader& reader) {
  if (reader.kind == ReaderKind::kSam) return kSamAtr;
  if (reader.kind == ReaderKind::kPicc) return kFeliCaAtr;
  return kStorageFeliCaAtr;
}

bool CardPresent(VirtualReader& reader, const ControlState& state) {
  if (reader.picc()) return reader.Card(state) != nullptr;
  return !state.Has("no-sam");
}

RESPONSECODE Answer(const Bytes& answer, PUCHAR out, PDWORD length) {
  if (answer.size() > *length) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(out, answer.data(), answer.size());
  *length = static_cast<DWORD>(answer.size());
  return IFD_SUCCESS;
}

// The escape command: the reader's pseudo-APDUs without a card, when the driver allows it.
RESPONSECODE Escape(VirtualReader& reader, const ControlState& state, PUCHAR in, DWORD inLength,
                    PUCHAR out, DWORD outLength, LPDWORD returned) {
  if (!reader.picc()) return IFD_ERROR_NOT_SUPPORTED;
  if (!state.escapeAllowed) return IFD_COMMUNICATION_ERROR;
  LogExchange(reader.control, '>', in, inLength);
  const Bytes answer = reader.Transmit(std::span(in, inLength), state, true);
  DWORD length = outLength;
  const RESPONSECODE result = Answer(answer, out, &length);
  if (result != IFD_SUCCESS) return result;
  *returned = length;
  LogExchange(reader.control, '<', answer.data(), answer.size());
  return IFD_SUCCESS;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) RESPONSECODE IFDHCreateChannelByName(DWORD Lun,
                                                                            LPSTR DeviceName) {
  std::lock_guard lock(g_mutex);
  const std::string name = DeviceName != nullptr ? DeviceName : "";
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return IFD_COMMUNICATION_ERROR;
  const auto device = kDevices.find(name.substr(0, colon));
  if (device == kDevices.end()) return IFD_COMMUNICATION_ERROR;
  VirtualReader& reader = g_readers[Lun >> 16];
  reader = VirtualReader{};
  reader.kind = device->second;
  reader.reader =
      Acr122Model(device->second == ReaderKind::kSam ? ReaderKind::kSam : ReaderKind::kPicc);
  reader.transparent = TransparentReaderModel(TransparentKindOf(device->second));
  reader.control = name.substr(colon + 1);
  return IFD_SUCCESS;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHCreateChannel(DWORD, DWORD) {
  return IFD_COMMUNICATION_ERROR;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHCloseChannel(DWORD Lun) {
  std::lock_guard lock(g_mutex);
  g_readers.erase(Lun >> 16);
  return IFD_SUCCESS;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag,
                                                                        PDWORD Length,
                                                                        PUCHAR Value) {
  std::lock_guard lock(g_mutex);
  if (Find(Lun) == nullptr || Length == nullptr || Value == nullptr) return IFD_COMMUNICATION_ERROR;
  switch (Tag) {
    case TAG_IFD_ATR: {
      const auto atr = AtrOf(*Find(Lun));
      if (*Length < atr.size()) return IFD_ERROR_INSUFFICIENT_BUFFER;
      std::memcpy(Value, atr.data(), atr.size());
      *Length = static_cast<DWORD>(atr.size());
      return IFD_SUCCESS;
    }
    case TAG_IFD_SLOTS_NUMBER:
    case TAG_IFD_SIMULTANEOUS_ACCESS:
      if (*Length < 1) return IFD_ERROR_INSUFFICIENT_BUFFER;
      Value[0] = Tag == TAG_IFD_SLOTS_NUMBER ? 1 : 16;
      *Length = 1;
      return IFD_SUCCESS;
    case TAG_IFD_THREAD_SAFE:
    case TAG_IFD_SLOT_THREAD_SAFE:
      if (*Length < 1) return IFD_ERROR_INSUFFICIENT_BUFFER;
      Value[0] = 0;
      *Length = 1;
      return IFD_SUCCESS;
    default:
      return IFD_ERROR_TAG;
  }
}

__attribute__((visibility("default"))) RESPONSECODE IFDHSetCapabilities(DWORD, DWORD, DWORD,
                                                                        PUCHAR) {
  return IFD_NOT_SUPPORTED;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHSetProtocolParameters(DWORD Lun,
                                                                              DWORD Protocol, UCHAR,
                                                                              UCHAR, UCHAR, UCHAR) {
  std::lock_guard lock(g_mutex);
  const VirtualReader* reader = Find(Lun);
  if (reader == nullptr) return IFD_COMMUNICATION_ERROR;
  const DWORD supported = reader->picc() ? SCARD_PROTOCOL_T1 : SCARD_PROTOCOL_T0;
  return Protocol == supported ? IFD_SUCCESS : IFD_PROTOCOL_NOT_SUPPORTED;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action,
                                                                 PUCHAR Atr, PDWORD AtrLength) {
  std::lock_guard lock(g_mutex);
  VirtualReader* reader = Find(Lun);
  if (reader == nullptr || AtrLength == nullptr) return IFD_COMMUNICATION_ERROR;
  const ControlState state = ReadControl(reader->control);
  if (state.Has("unplugged")) return IFD_NO_SUCH_DEVICE;
  if (Action == IFD_POWER_DOWN) {
    *AtrLength = 0;
    return IFD_SUCCESS;
  }
  if (!CardPresent(*reader, state)) return IFD_ERROR_POWER_ACTION;
  const auto atr = AtrOf(*reader);
  if (Atr == nullptr || *AtrLength < atr.size()) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(Atr, atr.data(), atr.size());
  *AtrLength = static_cast<DWORD>(atr.size());
  return IFD_SUCCESS;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHTransmitToICC(
    DWORD Lun, SCARD_IO_HEADER, PUCHAR TxBuffer, DWORD TxLength, PUCHAR RxBuffer, PDWORD RxLength,
    PSCARD_IO_HEADER) {
  std::lock_guard lock(g_mutex);
  VirtualReader* reader = Find(Lun);
  if (reader == nullptr || RxLength == nullptr || RxBuffer == nullptr)
    return IFD_COMMUNICATION_ERROR;
  const ControlState state = ReadControl(reader->control);
  if (state.Has("unplugged")) return IFD_NO_SUCH_DEVICE;
  if (state.Has("comm-error")) return IFD_COMMUNICATION_ERROR;
  LogExchange(reader->control, '>', TxBuffer, TxLength);
  const Bytes answer = reader->Transmit(std::span(TxBuffer, TxLength), state, false);
  const RESPONSECODE result = Answer(answer, RxBuffer, RxLength);
  if (result == IFD_SUCCESS) LogExchange(reader->control, '<', answer.data(), answer.size());
  return result;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHControl(DWORD Lun, DWORD ControlCode,
                                                                PUCHAR TxBuffer, DWORD TxLength,
                                                                PUCHAR RxBuffer, DWORD RxLength,
                                                                LPDWORD BytesReturned) {
  std::lock_guard lock(g_mutex);
  VirtualReader* reader = Find(Lun);
  if (BytesReturned == nullptr) return IFD_COMMUNICATION_ERROR;
  *BytesReturned = 0;
  if (reader == nullptr) return IFD_COMMUNICATION_ERROR;
  const ControlState state = ReadControl(reader->control);
  if (state.Has("unplugged")) return IFD_NO_SUCH_DEVICE;
  if (ControlCode == kGetFeatureRequest && !reader->acr122()) {
    const size_t length = state.escapeAllowed ? sizeof kCcidFeatures : kCcidFeaturesWithoutEscape;
    if (RxLength < length) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(RxBuffer, kCcidFeatures, length);
    *BytesReturned = static_cast<DWORD>(length);
    return IFD_SUCCESS;
  }
  if (ControlCode == kGetFeatureRequest) {
    if (!reader->picc() || !state.escapeAllowed) return IFD_SUCCESS;  // no features
    if (RxLength < sizeof kEscapeFeature) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(RxBuffer, kEscapeFeature, sizeof kEscapeFeature);
    *BytesReturned = sizeof kEscapeFeature;
    return IFD_SUCCESS;
  }
  if (ControlCode != kEscapeCode || TxBuffer == nullptr || RxBuffer == nullptr)
    return IFD_ERROR_NOT_SUPPORTED;
  return Escape(*reader, state, TxBuffer, TxLength, RxBuffer, RxLength, BytesReturned);
}

__attribute__((visibility("default"))) RESPONSECODE IFDHICCPresence(DWORD Lun) {
  std::lock_guard lock(g_mutex);
  VirtualReader* reader = Find(Lun);
  if (reader == nullptr) return IFD_COMMUNICATION_ERROR;
  const ControlState state = ReadControl(reader->control);
  if (state.Has("unplugged")) return IFD_NO_SUCH_DEVICE;
  return CardPresent(*reader, state) ? IFD_ICC_PRESENT : IFD_ICC_NOT_PRESENT;
}

}  // extern "C"
