#include "viewer/pluginhost/felica_dll_host.h"

#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace lorvane::pluginhost {

FeliCaDLLHost::FeliCaDLLHost(HostUi& ui, std::filesystem::path programFolder)
    : DLLHost(ui, std::move(programFolder)) {
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

bool FeliCaDLLHost::PrepareEntry(uint16_t index, uint16_t function, GetSettingFn getSetting) {
  DLLInfo& r = record(index);
  if (r.Settings.size() <= function) r.Settings.resize(size_t{function} + 1);
  SettingEntry entry;
  entry.bytes = static_cast<uint16_t>(
      RegistryInt(RegistryKey(index + 1u, u"IOFeliCaSettingBytes", function + 1u), 0));
  IOFeliCaSetting local{0, nullptr};
  if (getSetting(function, 0, &local) != 0) return false;
  if (r.InfoUnchanged && entry.bytes == local.Bytes) {
    entry.data.emplace(size_t{entry.bytes} + 2, 0);
    const auto saved = platform::GetProfileStruct(
        kRegistrySection, RegistryKey(index + 1u, u"IOFeliCaSettingData", function + 1u),
        entry.bytes, registryFile());
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

int32_t FeliCaDLLHost::Probe() {
  int32_t firstPlugin = -1;
  int32_t firstFunction = -1;
  int32_t found = 0;
  for (uint16_t i = 0; i < GetCount(); ++i) {
    Load(i);
    DLLInfo& r = record(i);
    r.HasValidReader = true;
    SelectCurrent(i);
    r.HasValidReader = false;
    for (uint16_t j = 0; j < r.FunctionNumber; ++j) {
      SetCurrentFunction(j);
      if (static_cast<int16_t>(ReaderInitialize(0)) < 0) continue;
      const auto opened = static_cast<int16_t>(ReaderOpen(std::nullopt));
      if (opened != 0 && opened != FELICA_ALREADY_OPEN) continue;
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
  return found;
}

void FeliCaDLLHost::SaveSettings() {
  if (registryFile().empty() || acceptedVersions().empty()) return;
  platform::ProfileWriter writer(registryFile());
  bool any = false;
  for (uint16_t i = 0; i < GetCount(); ++i) {
    const DLLInfo& r = record(i);
    if (r.InterfaceVersion != acceptedVersions().front()) continue;
    for (size_t m = 1; m <= r.FunctionNumber && m <= r.Settings.size(); ++m) {
      const auto& entry = r.Settings[m - 1];
      if (!entry || !entry->data) continue;
      writer.Write(kRegistrySection, RegistryKey(i + 1u, u"IOFeliCaSettingBytes", m),
                   platform::U16(std::to_string(entry->bytes)));
      writer.WriteStruct(kRegistrySection, RegistryKey(i + 1u, u"IOFeliCaSettingData", m),
                         entry->data->data(), entry->bytes);
      any = true;
    }
  }
  if (any) writer.Commit();
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
