// SPDX-License-Identifier: MIT
// The entry points of the card-image reader plug-in. The image it serves is the one named
// when the reader is opened (the host hands over the image chosen in the plug-in's own
// settings), else the file named by LORVANE_CARD_IMAGE, else the bundled sample card beside
// the plug-in (served only while no smart card reader is attached, so a real reader's
// plug-in answers the probe instead).
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "build_info.h"
#include "plugin-api/dialog_module.h"
#include "plugin-api/felica_plugin.h"
#include "plugin-api/setting_request.h"
#include "plugins/cardimage/card_image_driver.h"
#include "plugins/cardimage/ui/image_chooser.h"

namespace {

using lorvane::cardimageplugin::CardImageDriver;
using lorvane::cardimageplugin::ImageSource;

CardImageDriver* g_driver = nullptr;
lorvane::plugin::DialogModule* g_dialogs = nullptr;

const char* ChosenImage() {
  const char* chosen = std::getenv("LORVANE_CARD_IMAGE");
  return chosen != nullptr && *chosen != '\0' ? chosen : nullptr;
}

// The bundled sample card: beside the plug-in in a program folder, in the shared data of an
// installed program.
std::filesystem::path SampleImage() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SampleImage), &info) == 0 || info.dli_fname == nullptr)
    return {};
  const std::filesystem::path folder = std::filesystem::path(info.dli_fname).parent_path();
  const std::filesystem::path beside = folder / "samples" / "sample-transit.json";
  std::error_code ec;
  if (std::filesystem::exists(beside, ec)) return beside;
  return (folder / LORVANE_PLUGINS_TO_DATA / "samples" / "sample-transit.json").lexically_normal();
}

__attribute__((constructor)) void LoadDriver() {
  const char* chosen = ChosenImage();
  g_driver = new (std::nothrow)
      CardImageDriver(chosen != nullptr ? chosen : SampleImage(),
                      chosen != nullptr ? ImageSource::kEnvironment : ImageSource::kSample);
  g_dialogs = new (std::nothrow) lorvane::plugin::DialogModule(
      reinterpret_cast<const void*>(&LoadDriver), lorvane::cardimageplugin::kDialogModule);
}

__attribute__((destructor)) void UnloadDriver() {
  delete g_driver;
  g_driver = nullptr;
  delete g_dialogs;
  g_dialogs = nullptr;
}

template <typename Result, typename Operation>
Result WithDriver(Result noDriver, Operation operation) {
  if (g_driver == nullptr) return noDriver;
  try {
    return operation(*g_driver);
  } catch (...) {
    return noDriver;
  }
}

}  // namespace

extern "C" {

FELICA_PLUGIN_EXPORT const char* GetInformation(int32_t index) {
  switch (static_cast<uint16_t>(index)) {
    case FELICA_INFO_KIND:
      return "NFC card reader control dll";
    case FELICA_INFO_PLATFORM:
      return "WIN32";
    case FELICA_INFO_INTERFACE:
      return "010";
    case FELICA_INFO_DESCRIPTION:
      return "Card image reader: a saved FeliCa card image as a card on a reader";
    case FELICA_INFO_VERSION:
      return LORVANE_VERSION_TEXT;
    case FELICA_INFO_COPYRIGHT:
      return LORVANE_COPYRIGHT;
    case FELICA_INFO_DATE:
      return "2026/12/08";
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
  auto* data = static_cast<char*>(setting->Data);
  if (g_driver == nullptr) {
    data[0] = 0;
    return m == 0 || m == 3 ? FELICA_SETTING_OK : FELICA_SETTING_CANCELLED;
  }
  if (m == 0 || m == 3) {
    g_driver->WriteSettingsData(data);
    return FELICA_SETTING_OK;
  }
  // Modes 1 and 2: the user chooses the image to serve; the host then asks for it in mode 0.
  // In a process without Qt Widgets the chooser cannot be shown.
  namespace plugin = lorvane::cardimageplugin;
  const auto choose = reinterpret_cast<plugin::ChooseCardImageFn>(
      g_dialogs != nullptr ? g_dialogs->Find(plugin::kChooseCardImageEntry) : nullptr);
  char chosen[FELICA_SETTING_BYTES] = {0};
  if (choose == nullptr ||
      choose(g_driver->imagePath().c_str(), chosen, sizeof chosen) != plugin::kImageChosen)
    return FELICA_SETTING_CANCELLED;
  g_driver->Choose(chosen);
  return FELICA_SETTING_OK;
}

FELICA_PLUGIN_EXPORT int16_t DLL_Initialize(int32_t) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [](CardImageDriver& d) { return d.Initialize(); });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Open(const char* name) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](CardImageDriver& d) { return d.Open(name); });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Close(void) {
  return WithDriver<int16_t>(FELICA_OK, [](CardImageDriver& d) { return d.Close(); });
}
FELICA_PLUGIN_EXPORT const char* DLL_GetReaderName(int32_t index) {
  return WithDriver<const char*>(
      nullptr, [&](CardImageDriver& d) { return d.ReaderName(static_cast<uint16_t>(index)); });
}
FELICA_PLUGIN_EXPORT int16_t DLL_REQC(int32_t systemCode) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](CardImageDriver& d) {
    return d.Poll(static_cast<uint16_t>(systemCode));
  });
}
FELICA_PLUGIN_EXPORT int16_t DLL_SetCurrentCard(int32_t index, const uint8_t** card) {
  return WithDriver<int16_t>(FELICA_OK, [&](CardImageDriver& d) {
    const uint8_t* identity = d.SetCurrentCard(static_cast<uint8_t>(index));
    if (card != nullptr) *card = identity;
    return static_cast<int16_t>(FELICA_OK);
  });
}
FELICA_PLUGIN_EXPORT uint16_t DLL_GetSystemCode(int32_t index) {
  return WithDriver<uint16_t>(
      0xFFFF, [&](CardImageDriver& d) { return d.SystemCode(static_cast<uint16_t>(index)); });
}
FELICA_PLUGIN_EXPORT int16_t DLL_GetServiceCode(int32_t index, uint32_t* code, uint32_t* endCode) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](CardImageDriver& d) {
    return d.ServiceCode(static_cast<uint16_t>(index), code, endCode);
  });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Read(uint32_t serviceCode, uint32_t block, uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](CardImageDriver& d) {
    return d.Read(serviceCode, static_cast<uint8_t>(block), data);
  });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Write(uint32_t serviceCode, uint32_t block, const uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL, [&](CardImageDriver& d) {
    return d.Write(serviceCode, static_cast<uint8_t>(block), data);
  });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL,
                             [&](CardImageDriver& d) { return d.Read2(refs, count, data); });
}
FELICA_PLUGIN_EXPORT int16_t DLL_Write2(const BlockRef* refs, uint8_t count, const uint8_t* data) {
  return WithDriver<int16_t>(FELICA_E_FATAL,
                             [&](CardImageDriver& d) { return d.Write2(refs, count, data); });
}

}  // extern "C"
