// SPDX-License-Identifier: MIT
#include "viewer/pluginhost/felica_dll_host.h"

#include <algorithm>
#include <cstring>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace lorvane::pluginhost {

FeliCaDLLHost::FeliCaDLLHost(HostUi& ui, std::filesystem::path programFolder,
                             std::filesystem::path registryFolder)
    : DLLHost(ui, std::move(programFolder), std::move(registryFolder)) {
  exchange_ = std::make_unique<IOFeliCaSetting>();
  exchange_->Bytes = 0;
  exchange_->Data = nullptr;
}

FeliCaDLLHost::~FeliCaDLLHost() { SaveSettings(); }

int32_t FeliCaDLLHost::Start() {
  settingsBaseName_ = kRegistryBaseName;
  OpenRegistry(kAcceptedVersions);
  for (uint16_t i = 0; i < GetCount(); ++i) {
    if (!PrepareSettings(i)) return 0;
  }
  return Probe();
}

bool FeliCaDLLHost::PrepareSettings(uint16_t index) {
  DLLInfo& r = record(index);
  r.Settings.clear();
  if (Load(index) < 0) return true;
  const auto getSetting = EntryPoint<GetSettingFn>(r, FELICA_EP_GET_SETTING);
  const auto info = EntryPoint<GetInformationFn>(r, FELICA_EP_GET_INFORMATION);
  if (getSetting == nullptr || info == nullptr) {
    Unload(index);
    return false;
  }
  r.Settings.resize(r.FunctionNumber);
  for (uint16_t j = 0; j < r.FunctionNumber; ++j) {
    if (!PrepareEntry(index, j, getSetting)) {
      Unload(index);
      return false;
    }
  }
  if (r.Mode < 0) {
    platform::FreeLibrary(r.Module);
    r.Module = nullptr;
  }
  return true;
}

// The stored data of a plug-in lies at the position its record had in the registry file, so
// a plug-in keeps its own data when an entry before it has gone.
bool FeliCaDLLHost::PrepareEntry(uint16_t index, uint16_t function,
                                 const GuardedEntry<GetSettingFn>& getSetting) {
  DLLInfo& r = record(index);
  if (r.Settings.size() <= function) r.Settings.resize(size_t{function} + 1);
  const size_t stored = r.SavedPosition != 0 ? r.SavedPosition : index + 1u;
  SettingEntry entry;
  entry.bytes = static_cast<uint16_t>(
      RegistryInt(RegistryKey(stored, u"IOFeliCaSettingBytes", function + 1u), 0));
  IOFeliCaSetting local{0, nullptr};
  if (getSetting(function, 0, &local) != 0) return false;
  if (r.InfoUnchanged && r.SavedPosition != 0 && entry.bytes == local.Bytes) {
    entry.data.emplace(size_t{entry.bytes} + 2, 0);
    const auto saved = platform::GetProfileStruct(
        kRegistrySection, RegistryKey(stored, u"IOFeliCaSettingData", function + 1u), entry.bytes,
        registryFile());
    if (saved) std::copy(saved->begin(), saved->end(), entry.data->begin());
  } else {
    entry.bytes = local.Bytes;
    entry.data.emplace(size_t{entry.bytes} + 2, 0);
    local.Data = entry.data->data();
    getSetting(function, 0, &local);
  }
  r.Settings[function] = std::move(entry);
  return true;
}

bool FeliCaDLLHost::ProbeFoundNoService() const {
  return std::any_of(probeOutcomes_.begin(), probeOutcomes_.end(),
                     [](const ProbeOutcome& o) { return o.initialize == FELICA_E_NO_CONTEXT; });
}

int32_t FeliCaDLLHost::Probe() {
  int32_t firstPlugin = -1;
  int32_t firstFunction = -1;
  int32_t found = 0;
  probeOutcomes_.clear();
  for (uint16_t i = 0; i < GetCount(); ++i) {
    Load(i);
    DLLInfo& r = record(i);
    r.HasValidReader = true;
    SelectCurrent(i);
    r.HasValidReader = false;
    for (uint16_t j = 0; j < r.FunctionNumber; ++j) {
      SetCurrentFunction(j);
      ProbeOutcome& outcome = probeOutcomes_.emplace_back(ProbeOutcome{i, j, 0, std::nullopt});
      outcome.initialize = static_cast<int16_t>(ReaderInitialize(0));
      if (outcome.initialize < 0) continue;
      outcome.open = static_cast<int16_t>(ReaderOpen(std::nullopt));
      if (*outcome.open != 0 && *outcome.open != FELICA_ALREADY_OPEN) continue;
      if (firstPlugin < 0) {
        firstPlugin = i;
        firstFunction = j;
        found = 1;
      }
      r.HasValidReader = true;
      ReaderClose();
    }
    Unload(i);
  }
  SelectCurrent(firstPlugin);
  SetCurrentFunction(firstFunction);
  NoteProbe();
  return found;
}

void FeliCaDLLHost::NoteProbe() {
  for (const ProbeOutcome& o : probeOutcomes_) {
    std::string text = platform::U8(GetName(o.plugin)) + " function " +
                       std::to_string(o.function + 1) + ": DLL_Initialize gives " +
                       std::to_string(o.initialize);
    if (o.open) text += ", DLL_Open gives " + std::to_string(*o.open);
    ui_.Note(text);
  }
  ui_.Note(GetCurrentFunction() < 0
               ? std::string("no plug-in answered with a reader")
               : "reads go to " + platform::U8(GetName(static_cast<uint16_t>(GetCurrent()))));
}

// Each plug-in's data goes to its present position; data stored there for a plug-in that
// stood there before is removed, so that no plug-in is ever handed another's data.
void FeliCaDLLHost::SaveSettings() {
  if (registryFile().empty() || acceptedVersions().empty()) return;
  platform::ProfileWriter writer(registryFile());
  for (uint16_t i = 0; i < GetCount(); ++i) {
    const DLLInfo& r = record(i);
    const bool written = r.InterfaceVersion == acceptedVersions().front();
    for (size_t m = 1; m <= kMaxFunctions; ++m) {
      const std::u16string bytesKey = RegistryKey(i + 1u, u"IOFeliCaSettingBytes", m);
      const std::u16string dataKey = RegistryKey(i + 1u, u"IOFeliCaSettingData", m);
      const auto* entry = m <= r.FunctionNumber && m <= r.Settings.size() && r.Settings[m - 1]
                              ? &*r.Settings[m - 1]
                              : nullptr;
      if (written && entry != nullptr && entry->data) {
        writer.Write(kRegistrySection, bytesKey, platform::U16(std::to_string(entry->bytes)));
        writer.WriteStruct(kRegistrySection, dataKey, entry->data->data(), entry->bytes);
      } else if (r.SavedPosition != i + 1u) {
        writer.Remove(kRegistrySection, bytesKey);
        writer.Remove(kRegistrySection, dataKey);
      }
    }
  }
  writer.Commit();
}

std::optional<std::u16string> FeliCaDLLHost::StoredReaderName() const {
  const int32_t current = GetCurrent();
  if (current < 0 || current >= GetCount()) return std::nullopt;
  const DLLInfo& r = record(static_cast<uint16_t>(current));
  if (r.Settings.empty() || !r.Settings[0] || !r.Settings[0]->data) return std::nullopt;
  const SettingEntry& entry = *r.Settings[0];
  const auto* bytes = entry.data->data();
  const size_t length = strnlen(reinterpret_cast<const char*>(bytes), entry.bytes);
  if (length == 0 || length == entry.bytes) return std::nullopt;  // empty, or not terminated
  const std::string text(reinterpret_cast<const char*>(bytes), length);
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F;
  });
  if (!printable || !platform::IsValidUtf8(text)) return std::nullopt;
  return platform::U16(text);
}

int32_t FeliCaDLLHost::OpenSettings(bool flag, uint16_t index, uint16_t function) {
  if (index >= GetCount()) return kPluginIndexOutOfRange;
  DLLInfo& r = record(index);
  const bool prepared =
      function < r.Settings.size() && r.Settings[function] && r.Settings[function]->data;
  if (!prepared) {
    // An entry the start-up never made (a plug-in found later, or after the one where the
    // preparation stopped) is made now, as the start-up would have.
    if (r.Module == nullptr) r.Module = platform::LoadLibrary(platform::U8(r.Path));
    const auto getSetting = EntryPoint<GetSettingFn>(r, FELICA_EP_GET_SETTING);
    if (getSetting == nullptr) {
      Unload(index);
      return kEntryPointMissing;
    }
    if (!PrepareEntry(index, function, getSetting)) {
      Unload(index);
      return kEntryPointMissing;
    }
  }
  SettingEntry& entry = *r.Settings[function];
  exchange_->Bytes = entry.bytes;
  exchange_->Data = entry.data->data();
  const int32_t result = DLLHost::OpenSettings(flag, index, function);
  exchange_->Bytes = 0;
  exchange_->Data = nullptr;
  return result;
}

}  // namespace lorvane::pluginhost
