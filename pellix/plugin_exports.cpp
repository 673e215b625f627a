// SPDX-License-Identifier: MIT
// The entry points of a reader plug-in, and the driver object's life: created when the
// library is loaded into a process, destroyed when it is unloaded. Every reader plug-in of
// this tree is built from this file and its own identity (plugin_identity.h).
#include <cstring>
#include <new>

#include "build_info.h"
#include "pellix/felica_driver.h"
#include "pellix/plugin_identity.h"
#include "pellix/trace_channel.h"
#include "plugin-api/dialog_module.h"
#include "plugin-api/felica_plugin.h"
#include "plugin-api/setting_request.h"

namespace {

using lorvane::pellix::FeliCaDriver;
namespace identity = lorvane::pellix::identity;

FeliCaDriver* g_driver = nullptr;
lorvane::plugin::DialogModule* g_dialogs = nullptr;

__attribute__((constructor)) void LoadDriver() {
  g_driver = identity::NewDriver();
  g_dialogs = new (std::nothrow) lorvane::plugin::DialogModule(
      reinterpret_cast<const void*>(&LoadDriver), lorvane::pellix::kDialogModule);
}

__attribute__((destructor)) void UnloadDriver() {
  delete g_driver;
  g_driver = nullptr;
  delete g_dialogs;
  g_dialogs = nullptr;
  lorvane::pellix::CloseTrace();
}

// Runs an operation on the driver; every entry point leaves the status text at "Success.".
template <typename Result, typename Operation>
Result WithDriver(Result noDriver, Operation operation) {
  if (g_driver == nullptr) return noDriver;
  Result result;
  try {
    result = operation(*g_driver);
  } catch (...) {
    result = noDriver;
  }
  g_driver->ResetStatusText();
  return result;
}

const char* const kInformation[] = {
    "NFC card reader control dll",  // 0: kind
    "WIN32",                        // 1: platform token of the interface
    "010",                          // 2: interface version
};

}  // namespace

extern "C" {

FELICA_PLUGIN_EXPORT const char* GetInformation(int32_t index) {
  switch (static_cast<uint16_t>(index)) {
    case FELICA_INFO_KIND:
    case FELICA_INFO_PLATFORM:
    case FELICA_INFO_INTERFACE:
      return kInformation[static_cast<uint16_t>(index)];
    case FELICA_INFO_DESCRIPTION:
      return identity::kDescription;
    case FELICA_INFO_VERSION:
      return LORVANE_VERSION_TEXT;
    case FELICA_INFO_COPYRIGHT:
      return LORVANE_COPYRIGHT;
    case FELICA_INFO_DATE:
      return identity::kDate;
    case FELICA_INFO_FUNCTION(0):
      return "FeliCa";
    default:
      return nullptr;
  }
}

FELICA_PLUGIN_EXPORT int32_t GetSetting(int32_t function, int32_t mode, IOFeliCaSetting* setting) {
  if (const auto result = lorvane::plugin::CheckSettingRequest(function, mode, setting))
    return *result;
  const auto m = static_cast<uint16_t>(mode);
  if (m == 0 || m == 3) {
    auto* data = static_cast<uint8_t*>(setting->Data);
    if (g_driver == nullptr) {
      data[0] = 0;
    } else {
      g_driver->WriteSettingsData(data);
    }
    return FELICA_SETTING_OK;
  }
  // Modes 1 and 2: the reader selection dialog. Without a driver, or in a process without a
  // Qt application, it cannot be shown.
  const auto select = reinterpret_cast<lorvane::pellix::ReaderSelectionFn>(
      g_driver != nullptr && g_dialogs != nullptr
          ? g_dialogs->Find(lorvane::pellix::kReaderSelectionEntry)
          : nullptr);
  if (select == nullptr) return FELICA_SETTING_CANCELLED;
  const int result = select(g_driver);
  g_driver->ResetStatusText();
  return result == lorvane::pellix::kSelectionOk ? FELICA_SETTING_OK : FELICA_SETTING_CANCELLED;
}

FELICA_PLUGIN_EXPORT int16_t DLL_Initialize(int32_t /*ignored*/) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [](FeliCaDriver& d) { return d.Initialize(); });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Open(const char* readerName) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](FeliCaDriver& d) { return d.Open(readerName); });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Close(void) {
  return WithDriver<int16_t>(FELICA_OK, [](FeliCaDriver& d) { return d.Close(); });
}

FELICA_PLUGIN_EXPORT const char* DLL_GetReaderName(int32_t index) {
  return WithDriver<const char*>(
      nullptr, [&](FeliCaDriver& d) { return d.ReaderEntryName(static_cast<uint16_t>(index)); });
}

FELICA_PLUGIN_EXPORT int16_t DLL_REQC(int32_t systemCode) {
  return WithDriver<int16_t>(
      FELICA_E_FATAL, [&](FeliCaDriver& d) { return d.Poll(static_cast<uint16_t>(systemCode)); });
}

FELICA_PLUGIN_EXPORT int16_t DLL_SetCurrentCard(int32_t index, const uint8_t** card) {
  return WithDriver<int16_t>(FELICA_OK, [&](FeliCaDriver& d) {
    const uint8_t* identity = d.SetCurrentCard(static_cast<uint8_t>(index));
    if (card != nullptr) *card = identity;
    return static_cast<int16_t>(FELICA_OK);
  });
}

FELICA_PLUGIN_EXPORT uint16_t DLL_GetSystemCode(int32_t index) {
  return WithDriver<uint16_t>(FELICA_NO_SYSTEM_CODE, [&](FeliCaDriver& d) {
    return d.SystemCode(static_cast<uint16_t>(index));
  });
}

FELICA_PLUGIN_EXPORT int16_t DLL_GetServiceCode(int32_t index, uint32_t* code, uint32_t* endCode) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](FeliCaDriver& d) {
    return d.ServiceCode(static_cast<uint16_t>(index), code, endCode);
  });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Read(uint32_t serviceCode, uint32_t block, uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](FeliCaDriver& d) {
    return d.Read(serviceCode, static_cast<uint8_t>(block), data);
  });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Write(uint32_t serviceCode, uint32_t block, const uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](FeliCaDriver& d) {
    return d.Write(serviceCode, static_cast<uint8_t>(block), data);
  });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL,
                             [&](FeliCaDriver& d) { return d.Read2(refs, count, data); });
}

FELICA_PLUGIN_EXPORT int16_t DLL_Write2(const BlockRef* refs, uint8_t count, const uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL,
                             [&](FeliCaDriver& d) { return d.Write2(refs, count, data); });
}

}  // extern "C"
