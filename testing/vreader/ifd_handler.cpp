// SPDX-License-Identifier: MIT
// The virtual ACR122 as an IFD handler that pcscd loads. Each reader's DEVICENAME is
// "vreader:<control folder>"; see reader_control.h for what the folder holds.
#include <PCSC/pcsclite.h>
#include <PCSC/wintypes.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "cardimage/card_image.h"
#include "testing/vreader/acr122_model.h"

extern "C" {
#include <PCSC/ifdhandler.h>
}

namespace {

using namespace lorvane::vreader;

struct VirtualReader {
  std::filesystem::path control;
  Acr122Model reader;
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

}  // namespace

extern "C" {

__attribute__((visibility("default"))) RESPONSECODE IFDHCreateChannelByName(DWORD Lun,
                                                                            LPSTR DeviceName) {
  std::lock_guard lock(g_mutex);
  const std::string name = DeviceName != nullptr ? DeviceName : "";
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return IFD_COMMUNICATION_ERROR;
  VirtualReader& reader = g_readers[Lun >> 16];
  reader = VirtualReader{};
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
    case TAG_IFD_ATR:
      if (*Length < sizeof kSamAtr) return IFD_ERROR_INSUFFICIENT_BUFFER;
      std::memcpy(Value, kSamAtr, sizeof kSamAtr);
      *Length = sizeof kSamAtr;
      return IFD_SUCCESS;
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
  if (Find(Lun) == nullptr) return IFD_COMMUNICATION_ERROR;
  return Protocol == SCARD_PROTOCOL_T0 ? IFD_SUCCESS : IFD_PROTOCOL_NOT_SUPPORTED;
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
  if (state.Has("no-sam")) return IFD_ERROR_POWER_ACTION;
  if (Atr == nullptr || *AtrLength < sizeof kSamAtr) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(Atr, kSamAtr, sizeof kSamAtr);
  *AtrLength = sizeof kSamAtr;
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
  const Bytes answer =
      reader->reader.Transmit(std::span(TxBuffer, TxLength), reader->Card(state), state);
  if (answer.size() > *RxLength) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(RxBuffer, answer.data(), answer.size());
  *RxLength = static_cast<DWORD>(answer.size());
  LogExchange(reader->control, '<', answer.data(), answer.size());
  return IFD_SUCCESS;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHControl(DWORD, DWORD, PUCHAR, DWORD, PUCHAR,
                                                                DWORD, LPDWORD BytesReturned) {
  if (BytesReturned != nullptr) *BytesReturned = 0;
  return IFD_ERROR_NOT_SUPPORTED;
}

__attribute__((visibility("default"))) RESPONSECODE IFDHICCPresence(DWORD Lun) {
  std::lock_guard lock(g_mutex);
  VirtualReader* reader = Find(Lun);
  if (reader == nullptr) return IFD_COMMUNICATION_ERROR;
  const ControlState state = ReadControl(reader->control);
  if (state.Has("unplugged")) return IFD_NO_SUCH_DEVICE;
  return state.Has("no-sam") ? IFD_ICC_NOT_PRESENT : IFD_ICC_PRESENT;
}

}  // extern "C"
