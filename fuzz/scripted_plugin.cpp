// SPDX-License-Identifier: MIT
// A reader plug-in that says whatever its script says: every answer (texts, statuses, sizes,
// setting data, the card identity and its pointer, block data) is taken from the bytes the
// host's fuzz target hands it through FuzzScriptTake.
#include <dlfcn.h>

#include <array>
#include <cstring>
#include <string>

#include "plugin-api/felica_plugin.h"

namespace {

using TakeFn = size_t (*)(uint8_t* out, size_t n);

size_t Take(void* out, size_t n) {
  static const auto take = reinterpret_cast<TakeFn>(dlsym(RTLD_DEFAULT, "FuzzScriptTake"));
  if (take == nullptr) {
    std::memset(out, 0, n);
    return 0;
  }
  return take(static_cast<uint8_t*>(out), n);
}

template <typename T>
T Next() {
  T value{};
  Take(&value, sizeof value);
  return value;
}

// A text that stays valid until the same slot is asked again: up to 2000 script bytes, or
// the proper answer, or none.
const char* Text(std::string& slot, const char* proper) {
  switch (Next<uint8_t>() % 4) {
    case 0:
      return nullptr;
    case 1: {
      slot.assign(Next<uint16_t>() % 2000, '\0');
      Take(slot.data(), slot.size());
      return slot.c_str();
    }
    default:
      return proper;
  }
}

std::array<std::string, 64> g_texts;
std::array<uint8_t, 16> g_card{};

}  // namespace

extern "C" {

FELICA_PLUGIN_EXPORT const char* GetInformation(int32_t index) {
  const auto i = static_cast<uint16_t>(index);
  static const char* const kProper[] = {"NFC card reader control dll", "WIN32", "010"};
  const char* proper = i < 3 ? kProper[i] : (i >= 10 && i <= 13) || i == 20 ? "text" : nullptr;
  return Text(g_texts[i % g_texts.size()], proper);
}

FELICA_PLUGIN_EXPORT int32_t GetSetting(int32_t, int32_t, IOFeliCaSetting* setting) {
  if (setting == nullptr) return FELICA_E_PARAMETER;
  if (setting->Data == nullptr) {
    setting->Bytes = Next<uint16_t>();  // any size at all
  } else {
    Take(setting->Data, setting->Bytes);
  }
  return Next<int8_t>() % 3;
}

FELICA_PLUGIN_EXPORT int16_t DLL_Initialize(int32_t) { return Next<int16_t>(); }
FELICA_PLUGIN_EXPORT int16_t DLL_Open(const char*) { return Next<int16_t>(); }
FELICA_PLUGIN_EXPORT int16_t DLL_Close(void) { return Next<int16_t>(); }
FELICA_PLUGIN_EXPORT const char* DLL_GetReaderName(int32_t index) {
  return Text(g_texts[(40 + static_cast<uint16_t>(index)) % g_texts.size()],
              "\"" FELICA_CARD_IMAGE_GROUP "\"\"/nonexistent/card.json\"");
}
FELICA_PLUGIN_EXPORT int16_t DLL_REQC(int32_t) { return Next<int16_t>() % 8; }
FELICA_PLUGIN_EXPORT int16_t DLL_SetCurrentCard(int32_t, const uint8_t** card) {
  Take(g_card.data(), g_card.size());
  if (card != nullptr) *card = Next<uint8_t>() % 4 == 0 ? nullptr : g_card.data();
  return Next<int16_t>();
}
FELICA_PLUGIN_EXPORT int16_t DLL_Read(uint32_t, uint32_t, uint8_t* data) {
  if (data != nullptr) Take(data, 16);
  return Next<int8_t>() % 8;
}

}  // extern "C"
