// SPDX-License-Identifier: MIT
// The registry of plug-in records and the registry file.
#include <algorithm>
#include <exception>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/pluginhost/dll_host.h"

namespace lorvane::pluginhost {

using platform::U16;

std::u16string RegistryKey(size_t n, std::u16string_view field) {
  return u"DLLInfo[" + U16(std::to_string(n)) + u"]." + std::u16string(field);
}

std::u16string RegistryKey(size_t n, std::u16string_view field, size_t m) {
  return RegistryKey(n, field) + u"[" + U16(std::to_string(m)) + u"]";
}

DLLHost::DLLHost(HostUi& ui, std::filesystem::path programFolder,
                 std::filesystem::path registryFolder)
    : ui_(ui),
      programFolder_(std::move(programFolder)),
      registryFolder_(registryFolder.empty() ? programFolder_ : std::move(registryFolder)) {}

DLLHost::~DLLHost() {
  WriteRegistry(true);
  DLLInfoReset();
}

int32_t DLLHost::Fault(const char* operation) {
  ui_.ShowMessage(U16(std::string(operation) + "() error."), u"ERROR", MessageKind::kPlain);
  return kRegistryFault;
}

void DLLHost::Release(DLLInfo& record) {
  platform::FreeLibrary(record.Module);
  record = DLLInfo{};
}

int32_t DLLHost::DLLInfoSetAtGrow(uint16_t index, DLLInfo record) {
  try {
    if (index >= records_.size()) records_.resize(size_t{index} / 20 * 20 + 20);
    if (index >= count_) count_ = static_cast<uint16_t>(index + 1);
    records_[index] = std::move(record);
    return 0;
  } catch (const std::exception&) {
    return Fault("DLLInfoSetAtGrow");
  }
}

int32_t DLLHost::DLLInfoMove(uint16_t from, uint16_t to) {
  try {
    if (from >= count_ || from == to) return 0;
    if (to >= count_) return 0;  // no position to move to
    DLLInfo moving = std::move(records_[from]);
    if (from < to) {
      std::move(records_.begin() + from + 1, records_.begin() + to + 1, records_.begin() + from);
    } else {
      std::move_backward(records_.begin() + to, records_.begin() + from,
                         records_.begin() + from + 1);
    }
    records_[to] = std::move(moving);
    // The current plug-in follows its record.
    if (current_ == from) {
      current_ = to;
    } else if (from < to && current_ > from && current_ <= to) {
      --current_;
    } else if (from > to && current_ >= to && current_ < from) {
      ++current_;
    }
    modified_ = true;
    return 0;
  } catch (const std::exception&) {
    return Fault("DLLInfoMove");
  }
}

int32_t DLLHost::DLLInfoRemoveAt(uint16_t index) {
  try {
    if (index >= count_) return 0;
    Release(records_[index]);
    std::move(records_.begin() + index + 1, records_.end(), records_.begin() + index);
    records_.back() = DLLInfo{};
    --count_;
    return 0;
  } catch (const std::exception&) {
    return Fault("DLLInfoRemoveAt");
  }
}

void DLLHost::RemoveUnloaded() {
  size_t kept = 0;
  for (size_t i = 0; i < count_; ++i) {
    if (records_[i].Module == nullptr) {
      Release(records_[i]);
    } else {
      if (kept != i) records_[kept] = std::move(records_[i]);
      ++kept;
    }
  }
  for (size_t i = kept; i < count_; ++i) records_[i] = DLLInfo{};
  count_ = static_cast<uint16_t>(kept);
}

int32_t DLLHost::DLLInfoReset() {
  try {
    for (DLLInfo& record : records_) Release(record);
    records_.clear();
    count_ = 0;
    return 0;
  } catch (const std::exception&) {
    return Fault("DLLInfoReset");
  }
}

int32_t DLLHost::Reset() {
  DLLInfoReset();
  return 0;
}

std::u16string DLLHost::RegistryString(const std::u16string& key, size_t maxChars) const {
  return platform::GetProfileString(kRegistrySection, key, u"", maxChars, registryFile_);
}

int32_t DLLHost::RegistryInt(const std::u16string& key, int32_t defaultValue) const {
  return static_cast<int32_t>(
      platform::GetProfileInt(kRegistrySection, key, defaultValue, registryFile_));
}

bool DLLHost::WriteRegistryValue(const std::u16string& key, const std::u16string& value) const {
  return platform::WriteProfileString(kRegistrySection, key, value, registryFile_);
}

// After a rebuild: the count and each entry's name, mode and texts. At destruction: the
// folder too, and the function counts.
void DLLHost::WriteRegistry(bool atDestruction) {
  if (registryFile_.empty()) return;  // the registry was never opened
  platform::ProfileWriter writer(registryFile_);
  auto number = [](int64_t v) { return U16(std::to_string(v)); };
  if (atDestruction) writer.Write(kRegistrySection, u"DLLDirectory", folder_);
  writer.Write(kRegistrySection, u"DLLNum", number(count_));
  for (size_t i = 0; i < count_; ++i) {
    const DLLInfo& r = records_[i];
    writer.Write(kRegistrySection, RegistryKey(i + 1, atDestruction ? u"Name" : u"name"), r.Name);
    writer.Write(kRegistrySection, RegistryKey(i + 1, atDestruction ? u"Mode" : u"mode"),
                 number(r.Mode));
    writer.Write(kRegistrySection, RegistryKey(i + 1, u"Description"), r.Description);
    writer.Write(kRegistrySection, RegistryKey(i + 1, u"Version"), r.Version);
    writer.Write(kRegistrySection, RegistryKey(i + 1, u"LatestDate"), r.LatestDate);
    if (atDestruction)
      writer.Write(kRegistrySection, RegistryKey(i + 1, u"FunctionNumber"),
                   number(r.FunctionNumber));
  }
  writer.Commit();  // a failure is reported by the profile layer, once, with its reason
}

}  // namespace lorvane::pluginhost
