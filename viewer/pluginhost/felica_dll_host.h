// SPDX-License-Identifier: MIT
// The plug-in host of the viewer: the registry file "FeliCaDLL.INI", interface version 10,
// per-function setting data, and the start-up that finds the plug-in with a reader.
#pragma once

#include "viewer/carddef/card_reader.h"
#include "viewer/pluginhost/dll_host.h"

namespace lorvane::pluginhost {

inline constexpr char16_t kRegistryBaseName[] = u"FeliCaDLL";
inline constexpr char16_t kAcceptedVersions[] = u"010";

// What one function of one plug-in answered the last probe.
struct ProbeOutcome {
  uint16_t plugin = 0;
  uint16_t function = 0;
  int16_t initialize = 0;       // DLL_Initialize's status
  std::optional<int16_t> open;  // DLL_Open's, when it was called
};

class FeliCaDLLHost : public DLLHost {
 public:
  FeliCaDLLHost(HostUi& ui, std::filesystem::path programFolder,
                std::filesystem::path registryFolder = {});
  // Saves the setting data, then the registry.
  ~FeliCaDLLHost() override;

  // Opens the registry, prepares each plug-in's setting data and probes for a reader; the
  // result is the probe's (1 when a plug-in answered).
  int32_t Start() override;
  // Shows plug-in `index`'s own settings for `function`, on that function's setting data.
  int32_t OpenSettings(bool flag, uint16_t index, uint16_t function) override;

  // Builds the setting entries of plug-in i; false when the start-up must stop here.
  bool PrepareSettings(uint16_t index);
  // Tries every plug-in's functions for a reader; 1 when one answered.
  int32_t Probe();
  const std::vector<ProbeOutcome>& probeOutcomes() const { return probeOutcomes_; }
  // Whether the last probe found a plug-in that could not reach the PC/SC service.
  bool ProbeFoundNoService() const;
  void SaveSettings();
  // The reader the current plug-in's own settings chose: the text its first setting entry
  // holds, when that is a non-empty, terminated, printable text.
  std::optional<std::u16string> StoredReaderName() const;

 private:
  // Creates the setting entry of one function from the plug-in (and, when the plug-in's
  // texts are unchanged and the size agrees, from the registry file).
  bool PrepareEntry(uint16_t index, uint16_t function,
                    const GuardedEntry<GetSettingFn>& getSetting);
  void NoteProbe();

  std::vector<ProbeOutcome> probeOutcomes_;
};

// The reader a card definition reads through: the host's current plug-in, opened on the
// reader its own settings chose.
class HostCardReader final : public carddef::CardReader {
 public:
  explicit HostCardReader(FeliCaDLLHost& host) : host_(host) {}
  int32_t ReaderOpen() override { return host_.ReaderOpen(host_.StoredReaderName()); }
  int32_t ReaderClose() override { return host_.ReaderClose(); }
  int32_t ReaderREQC(uint32_t systemCode) override {
    return host_.ReaderREQC(static_cast<int32_t>(systemCode));
  }
  int32_t ReaderSetCurrentCard(uint32_t index, const uint8_t** card) override {
    return host_.ReaderSetCurrentCard(static_cast<int32_t>(index), card);
  }
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) override {
    return host_.ReaderRead(serviceCode, block, data);
  }

 private:
  FeliCaDLLHost& host_;
};

}  // namespace lorvane::pluginhost
