// SPDX-License-Identifier: MIT
// Loading plug-ins by mode, the current plug-in, and the calls that reach it: each entry
// point is looked up by name in the library at every call.
#include <cstring>

#include "platform/text_codec.h"
#include "viewer/pluginhost/dll_host.h"

namespace lorvane::pluginhost {
namespace {

constexpr size_t kReaderNameBytes = 200;
constexpr size_t kAboutChars = 500;

std::string LibraryPath(const std::u16string& path) {
  std::string text = platform::U8(path);
  for (char& c : text) c = c == '\\' ? '/' : c;
  return text;
}

}  // namespace

int32_t DLLHost::Load(uint16_t index) {
  DLLInfo& record = records_[index];
  if (record.Module != nullptr) return 0;
  if (record.Mode == kModeNotUsed) return kPluginNotUsed;
  record.Module = platform::LoadLibrary(LibraryPath(record.Path));
  return record.Module != nullptr ? 0 : kPluginNotLoaded;
}

void DLLHost::Unload(uint16_t index) {
  DLLInfo& record = records_[index];
  if (record.Mode == kModeAlways) return;
  platform::FreeLibrary(record.Module);
  record.Module = nullptr;
}

int32_t DLLHost::SelectCurrent(int32_t index) {
  if (index < 0 || index >= count_ || !records_[static_cast<size_t>(index)].HasValidReader)
    return kNoCurrentPlugin;
  current_ = index;
  return 0;
}

int32_t DLLHost::ReaderInitialize(int32_t argument) {
  if (current_ < 0) return kNoCurrentPlugin;
  if (current_ >= count_ || records_.empty()) return kPluginIndexOutOfRange;
  const auto index = static_cast<uint16_t>(current_);
  Load(index);
  const auto initialize = EntryPoint<DLL_InitializeFn>(records_[index], FELICA_EP_INITIALIZE);
  if (initialize == nullptr) return kEntryPointMissing;
  return initialize(argument);
}

int32_t DLLHost::ReaderOpen(const std::optional<std::u16string>& readerName) {
  if (current_ < 0) return kNoCurrentPlugin;
  if (current_ >= count_ || records_.empty()) return kPluginIndexOutOfRange;
  DLLInfo& record = records_[static_cast<size_t>(current_)];
  if (record.Module == nullptr) {
    const int32_t status = ReaderInitialize(0);
    if (static_cast<int16_t>(status) < 0) return status;
  }
  const auto open = EntryPoint<DLL_OpenFn>(record, FELICA_EP_OPEN);
  if (open == nullptr) return kEntryPointMissing;
  if (!readerName) return open(nullptr);
  openNameBuffer_ = platform::U8(*readerName).substr(0, kReaderNameBytes);
  return open(openNameBuffer_.c_str());
}

int32_t DLLHost::ReaderClose() {
  if (records_.empty() || current_ < 0 || current_ >= count_ ||
      records_[static_cast<size_t>(current_)].Module == nullptr) {
    return kCloseNotPossible;
  }
  const auto close =
      EntryPoint<DLL_CloseFn>(records_[static_cast<size_t>(current_)], FELICA_EP_CLOSE);
  if (close == nullptr) return kEntryPointMissing;
  return close();
}

DLLInfo* DLLHost::LoadedCurrent() {
  if (current_ < 0 || current_ >= count_) return nullptr;
  DLLInfo& record = records_[static_cast<size_t>(current_)];
  return record.Module != nullptr ? &record : nullptr;
}

int32_t DLLHost::ReaderREQC(int32_t systemCode) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return kPluginNotLoaded;
  const auto reqc = EntryPoint<DLL_REQCFn>(*record, FELICA_EP_REQC);
  if (reqc == nullptr) return kEntryPointMissing;
  return reqc(systemCode);
}

int32_t DLLHost::ReaderSetCurrentCard(int32_t index, const uint8_t** card) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return kPluginNotLoaded;
  const auto select = EntryPoint<DLL_SetCurrentCardFn>(*record, FELICA_EP_SET_CURRENT_CARD);
  if (select == nullptr) return kEntryPointMissing;
  return select(index, card);
}

int32_t DLLHost::ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return kPluginNotLoaded;
  const auto read = EntryPoint<DLL_ReadFn>(*record, FELICA_EP_READ);
  if (read == nullptr) return kEntryPointMissing;
  return read(serviceCode, block, data);
}

std::optional<uint16_t> DLLHost::ReaderGetSystemCode(int32_t index) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return std::nullopt;
  const auto systemCode = EntryPoint<DLL_GetSystemCodeFn>(*record, FELICA_EP_GET_SYSTEM_CODE);
  if (systemCode == nullptr) return std::nullopt;
  return systemCode(index);
}

int32_t DLLHost::ReaderGetServiceCode(int32_t index, uint32_t* code, uint32_t* endCode) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return kPluginNotLoaded;
  const auto serviceCode = EntryPoint<DLL_GetServiceCodeFn>(*record, FELICA_EP_GET_SERVICE_CODE);
  if (serviceCode == nullptr) return kEntryPointMissing;
  return serviceCode(index, code, endCode);
}

int32_t DLLHost::ReaderRead2(const BlockRef* refs, uint8_t* count, uint8_t* data) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return kPluginNotLoaded;
  const auto read2 = EntryPoint<DLL_Read2Fn>(*record, FELICA_EP_READ2);
  if (read2 == nullptr) return kEntryPointMissing;
  return read2(refs, count, data);
}

std::optional<std::u16string> DLLHost::ReaderGetName(int32_t index) {
  const DLLInfo* record = LoadedCurrent();
  if (record == nullptr) return std::nullopt;
  const auto name = EntryPoint<DLL_GetReaderNameFn>(*record, FELICA_EP_GET_READER_NAME);
  const char* text = name != nullptr ? name(index) : nullptr;
  if (text == nullptr) return std::nullopt;
  return PluginText(text);
}

int32_t DLLHost::OpenSettings(bool flag, uint16_t index, uint16_t function) {
  if (!exchange_) return kNoSettingExchange;
  DLLInfo& record = records_.at(index);
  if (record.Module == nullptr) record.Module = platform::LoadLibrary(LibraryPath(record.Path));
  const auto getSetting = EntryPoint<GetSettingFn>(record, FELICA_EP_GET_SETTING);
  if (getSetting == nullptr) {
    Unload(index);
    return kEntryPointMissing;
  }
  const int32_t mode = flag ? 1 : 2;
  if (exchange_->Data == nullptr) {
    getSetting(function, mode, exchange_.get());
    exchangeData_.assign(size_t{exchange_->Bytes} + 2, 0);
    exchange_->Data = exchangeData_.data();
  }
  // A choice made in the plug-in's own settings is asked for before the plug-in goes, so
  // the setting data keeps it.
  if (getSetting(function, mode, exchange_.get()) == 0) getSetting(function, 0, exchange_.get());
  Unload(index);
  return 0;
}

void DLLHost::ShowAbout(uint16_t index) {
  DLLInfo& record = records_.at(index);
  if (record.Module == nullptr) record.Module = platform::LoadLibrary(LibraryPath(record.Path));
  std::u16string text;
  if (const auto info = EntryPoint<GetInformationFn>(record, FELICA_EP_GET_INFORMATION)) {
    const std::pair<int, std::u16string> parts[] = {{FELICA_INFO_DESCRIPTION, u""},
                                                    {FELICA_INFO_VERSION, u"\nVer "},
                                                    {FELICA_INFO_COPYRIGHT, u"\n"},
                                                    {FELICA_INFO_DATE, u"\nDate:"}};
    for (const auto& [item, lead] : parts) {
      const char* value = info(item);
      if (value == nullptr) break;
      text += lead + PluginText(value);
    }
    if (text.size() > kAboutChars) text.resize(kAboutChars);
    ui_.ShowMessage(text, u"プラグイン情報", MessageKind::kInformation);
  }
  Unload(index);
}

}  // namespace lorvane::pluginhost
