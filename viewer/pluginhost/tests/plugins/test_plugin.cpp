// SPDX-License-Identifier: MIT
// A reader plug-in for host tests, built in several variants by compile definitions. It
// appends every call it receives to the file named by TEST_PLUGIN_LOG: "<variant> <call>".
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "plugin-api/felica_plugin.h"

#ifndef PLUGIN_KIND
#define PLUGIN_KIND "NFC card reader control dll"
#endif
#ifndef PLUGIN_VERSION
#define PLUGIN_VERSION "010"
#endif
#ifndef PLUGIN_FUNCTIONS
#define PLUGIN_FUNCTIONS 1
#endif
#ifndef PLUGIN_OPEN_RESULT
#define PLUGIN_OPEN_RESULT 0
#endif
#ifndef PLUGIN_INIT_RESULT
#define PLUGIN_INIT_RESULT 0
#endif
#ifndef PLUGIN_DATE
#define PLUGIN_DATE "2026/01/01"
#endif
#ifndef PLUGIN_DESCRIPTION
#define PLUGIN_DESCRIPTION "Test plug-in " PLUGIN_NAME
#endif

namespace {

void Log(const char* call) {
  const char* path = std::getenv("TEST_PLUGIN_LOG");
  if (path == nullptr) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s %s\n", PLUGIN_NAME, call);
    std::fclose(f);
  }
}

__attribute__((constructor)) void Loaded() { Log("load"); }
__attribute__((destructor)) void Unloaded() { Log("unload"); }

const uint8_t kIdentity[16] = {0xAA, 0xBB, 0xCC, 0xDD, 0x01, 0x02, 0x03, 0x04};
[[maybe_unused]] uint8_t g_setting[FELICA_SETTING_BYTES] = PLUGIN_NAME;

std::string LongText() {
  std::string text(5000, '\xFF');  // not UTF-8, and longer than any host buffer
  return text;
}

}  // namespace

extern "C" {

FELICA_PLUGIN_EXPORT const char* GetInformation(int32_t index) {
  static const std::string weird = LongText();
  switch (static_cast<uint16_t>(index)) {
    case 0:
      return PLUGIN_KIND;
    case 1:
      return "WIN32";
    case 2:
      return PLUGIN_VERSION;
    case 10:
#ifdef PLUGIN_WEIRD_TEXT
      return weird.c_str();
#else
      return PLUGIN_DESCRIPTION;
#endif
    case 11:
      return "1.00";
    case 12:
      return "Copyright test";
    case 13:
#ifdef PLUGIN_NO_DATE
      return nullptr;
#else
      return PLUGIN_DATE;
#endif
    default:
      if (index >= 20 && index < 20 + 4 * PLUGIN_FUNCTIONS && (index - 20) % 4 == 0)
        return "FeliCa";
      return nullptr;
  }
}

#ifndef PLUGIN_NO_GETSETTING
FELICA_PLUGIN_EXPORT int32_t GetSetting(int32_t function, int32_t mode, IOFeliCaSetting* setting) {
  Log(("GetSetting " + std::to_string(function) + " " + std::to_string(mode)).c_str());
  if (setting == nullptr) return -5;
  if (setting->Data == nullptr) {
    setting->Bytes = FELICA_SETTING_BYTES;
    return 0;
  }
  if (setting->Bytes != FELICA_SETTING_BYTES) return -5;
  if (mode == 0 || mode == 3) {
    std::memcpy(setting->Data, g_setting, FELICA_SETTING_BYTES);
    return 0;
  }
  // The "dialog" of modes 1 and 2: TEST_PLUGIN_CHOICE is what the user picks ("cancel":
  // nothing); without it the host's data is taken over.
  if (const char* choice = std::getenv("TEST_PLUGIN_CHOICE")) {
    if (std::strcmp(choice, "cancel") == 0) return 1;
    std::memset(g_setting, 0, FELICA_SETTING_BYTES);
    std::strncpy(reinterpret_cast<char*>(g_setting), choice, FELICA_SETTING_BYTES - 1);
    return 0;
  }
  std::memcpy(g_setting, setting->Data, FELICA_SETTING_BYTES);
  g_setting[FELICA_SETTING_BYTES - 1] = 0;
  return 0;
}
#endif

FELICA_PLUGIN_EXPORT int16_t DLL_Initialize(int32_t) {
  Log("DLL_Initialize");
  return PLUGIN_INIT_RESULT;
}
FELICA_PLUGIN_EXPORT int16_t DLL_Open(const char* name) {
  Log(name == nullptr ? "DLL_Open" : (std::string("DLL_Open ") + name).c_str());
#ifdef PLUGIN_THROWS
  throw std::runtime_error("a plug-in that throws");
#endif
  return PLUGIN_OPEN_RESULT;
}
FELICA_PLUGIN_EXPORT int16_t DLL_Close(void) {
  Log("DLL_Close");
  return 0;
}
FELICA_PLUGIN_EXPORT int16_t DLL_REQC(int32_t systemCode) {
  Log(("DLL_REQC " + std::to_string(systemCode)).c_str());
#ifdef PLUGIN_CRASHES
  raise(SIGSEGV);
#endif
  return 0;
}
FELICA_PLUGIN_EXPORT int16_t DLL_SetCurrentCard(int32_t, const uint8_t** card) {
  *card = kIdentity;
  return 0;
}
FELICA_PLUGIN_EXPORT int16_t DLL_Read(uint32_t, uint32_t block, uint8_t* data) {
  std::memset(data, static_cast<int>(block), 16);
  return 0;
}

}  // extern "C"
