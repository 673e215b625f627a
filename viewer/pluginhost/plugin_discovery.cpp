// SPDX-License-Identifier: MIT
// Where plug-ins are looked for, which libraries are reader plug-ins, and how the saved
// registry is merged with what lies on disk.
#include <algorithm>
#include <cstring>

#include "platform/directory_listing.h"
#include "platform/folder_trust.h"
#include "platform/text_codec.h"
#include "viewer/pluginhost/dll_host.h"

namespace lorvane::pluginhost {
namespace {

using platform::U16;
using platform::U8;

constexpr size_t kFolderChars = 259;
constexpr size_t kTextChars = 259;
constexpr uint32_t kMaxSavedEntries = 0xFFFF;
constexpr char kPluginKind[] = "NFC card reader control dll";
constexpr char kPlatform[] = "WIN32";
constexpr char16_t kLibrarySuffix[] = u".so";

int32_t LeadingDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - u'0'), INT32_MAX);
  return static_cast<int32_t>(negative ? -value : value);
}

// True when `text` begins with `prefix`, letters compared without regard to case.
bool StartsWithNoCase(const char* text, const char* prefix) {
  const size_t length = std::strlen(prefix);
  return text != nullptr && strnlen(text, length) == length &&
         platform::EqualsIgnoreAsciiCase(std::string_view(text, length),
                                         std::string_view(prefix, length));
}

// A folder as the registry file holds it (a backslash is a separator here).
std::string FolderPath(const std::u16string& folder) {
  std::string path = U8(folder);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool HasSeparator(const std::u16string& name) {
  return name.find(u'/') != std::u16string::npos || name.find(u'\\') != std::u16string::npos;
}

// A folder as the start of a path: with a separator at its end.
std::u16string WithSeparator(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'/' && folder.back() != u'\\') folder += u'/';
  return folder;
}

// The same folder, names compared exactly (this system tells letter cases apart).
bool SameFolder(const std::u16string& a, const std::u16string& b) {
  return std::filesystem::path(FolderPath(a)).lexically_normal() ==
         std::filesystem::path(FolderPath(b)).lexically_normal();
}

}  // namespace

std::vector<uint16_t> ParseVersionList(std::u16string_view text) {
  std::vector<uint16_t> versions;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of(u",.;:", start), text.size());
    if (end > start)
      versions.push_back(static_cast<uint16_t>(LeadingDecimal(text.substr(start, end - start))));
    start = end + 1;
  }
  return versions;
}

// A plug-in's text ends at its first control character: no line break (or worse) from a
// plug-in reaches a file or the screen.
std::u16string PluginText(const char* text) {
  if (text == nullptr) return {};
  const std::string_view bounded(text, strnlen(text, kMaxPluginText));
  const auto end = std::find_if(bounded.begin(), bounded.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  return platform::Utf8ToUtf16Lossy(bounded.substr(0, static_cast<size_t>(end - bounded.begin())));
}

int32_t DLLHost::OpenRegistry(const std::u16string& acceptedVersions) {
  acceptedVersions_ = ParseVersionList(acceptedVersions);
  registryFile_ = registryFolder_ / (U8(settingsBaseName_) + ".INI");
  if (const std::string problem = platform::FolderTrustProblem(registryFolder_); !problem.empty()) {
    ui_.ShowMessage(U16("The settings folder " + registryFolder_.string() + " " + problem +
                        ": symbolic links in it are not followed."),
                    u"Warning", MessageKind::kWarning);
  }
  folder_ = RegistryString(u"DLLDirectory", kFolderChars);
  if (IsAnotherProgramFolder(folder_)) folder_ = WithSeparator(U16(programFolder_.string()));
  if (folder_.empty()) {
    folder_ = WithSeparator(U16(programFolder_.string()));
    if (auto chosen = ui_.BrowseFolder(folder_)) {
      folder_ = *chosen;
      if (folder_.back() != u'/' && folder_.back() != u'\\') folder_ += u'/';
    }
  }
  return RebuildRegistry(true);
}

void DLLHost::ChangeFolder(const std::optional<std::u16string>& path) {
  if (path) {
    folder_ = *path;
    return;
  }
  auto chosen = ui_.BrowseFolder(Resolved(folder_));
  if (!chosen || chosen->empty()) return;
  folder_ = *chosen;
  if (folder_.back() != u'/' && folder_.back() != u'\\') folder_ += u'/';
  if (!registryFile_.empty()) WriteRegistryValue(u"DLLDirectory", folder_);
  RebuildRegistry(false);
  modified_ = true;
}

// A plug-in folder written as a relative path lies below the program folder, whatever the
// current directory: "." is never the folder a program was started from.
std::u16string DLLHost::Resolved(const std::u16string& folder) const {
  if (folder.empty() || std::filesystem::path(FolderPath(folder)).is_absolute()) return folder;
  return U16((programFolder_ / FolderPath(folder)).lexically_normal().string());
}

// A portable program folder copied elsewhere still names the folder it was copied from: that
// folder (another program folder, with its own Define/) is not this program's plug-in folder.
bool DLLHost::IsAnotherProgramFolder(const std::u16string& folder) const {
  if (folder.empty() || registryFolder_ != programFolder_) return false;
  const std::filesystem::path stored(FolderPath(Resolved(folder)));
  std::error_code ec;
  return !SameFolder(Resolved(folder), WithSeparator(U16(programFolder_.string()))) &&
         std::filesystem::is_directory(stored / "Define", ec) &&
         std::filesystem::is_directory(programFolder_ / "Define", ec);
}

// Folder A (the plug-in folder) and folder B (the program's), A left out when it is B. A
// folder stored without its last separator is searched all the same.
std::vector<std::u16string> DLLHost::SearchFolders() const {
  const std::u16string programFolder = WithSeparator(U16(programFolder_.string()));
  const std::u16string pluginFolder = WithSeparator(Resolved(folder_));
  std::vector<std::u16string> folders;
  if (!pluginFolder.empty() && !SameFolder(pluginFolder, programFolder))
    folders.push_back(pluginFolder);
  folders.push_back(programFolder);
  return folders;
}

platform::LibraryHandle DLLHost::LoadCandidate(const std::u16string& path) {
  if (!InOwnFolder(path)) return nullptr;
  std::string error;
  platform::LibraryHandle module = platform::LoadLibrary(FolderPath(path), &error);
  std::error_code ec;
  if (module == nullptr && std::filesystem::exists(FolderPath(path), ec))
    ui_.Note(U8(path) + ": cannot be loaded: " + error);
  return module;
}

// Code is loaded only from a folder of the user's own; another one is named once, with why.
bool DLLHost::InOwnFolder(const std::u16string& path) {
  const std::filesystem::path folder = std::filesystem::path(FolderPath(path)).parent_path();
  const std::string problem = platform::FolderTrustProblem(folder);
  if (problem.empty()) return true;
  if (refusedFolders_.insert(folder.string()).second) {
    ui_.ShowMessage(
        U16("No plug-in is loaded from " + folder.string() + ": the folder " + problem + "."),
        u"Warning", MessageKind::kWarning);
  }
  return false;
}

bool DLLHost::Accepted(DLLInfo& record, uint16_t compareCount, const std::u16string& path) {
  if (Identify(record, compareCount) == 0) {
    ui_.Note(U8(path) + ": reader plug-in \"" + U8(record.Description) + "\" " +
             U8(record.Version));
    return true;
  }
  ui_.Note(U8(path) + ": not a reader plug-in: " + rejection_);
  return false;
}

// Each plug-in keeps its setting data through the rebuild, whatever its new position.
int32_t DLLHost::RebuildRegistry(bool fromFile) {
  std::vector<std::pair<std::u16string, std::vector<std::optional<SettingEntry>>>> previous;
  for (uint16_t i = 0; i < count_; ++i)
    previous.emplace_back(records_[i].Name, std::move(records_[i].Settings));
  DLLInfoReset();
  if (fromFile) ReadSavedRegistry();
  ReidentifySaved();
  RemoveUnloaded();
  ScanForNew();
  for (uint16_t i = 0; i < count_; ++i) {
    for (auto& [name, settings] : previous) {
      if (!settings.empty() && platform::EqualsIgnoreAsciiCase(name, records_[i].Name))
        records_[i].Settings = std::move(settings);
    }
  }
  WriteRegistry(false);
  return 1;
}

void DLLHost::ReadSavedRegistry() {
  const auto saved = static_cast<uint32_t>(RegistryInt(u"DLLNum", 0));
  const uint32_t entries =
      saved > kMaxSavedEntries ? (static_cast<int32_t>(saved) < 0 ? 0 : kMaxSavedEntries) : saved;
  for (uint32_t n = 1; n <= entries; ++n) {
    DLLInfo record;
    record.Name = RegistryString(RegistryKey(n, u"Name"), kTextChars);
    record.Mode = RegistryInt(RegistryKey(n, u"Mode"), 0);
    record.Description = RegistryString(RegistryKey(n, u"Description"), kTextChars);
    record.Version = RegistryString(RegistryKey(n, u"Version"), kTextChars);
    record.LatestDate = RegistryString(RegistryKey(n, u"LatestDate"), kTextChars);
    record.FunctionNumber =
        static_cast<uint16_t>(RegistryInt(RegistryKey(n, u"FunctionNumber"), 0));
    record.SavedPosition = static_cast<uint16_t>(n);
    DLLInfoSetAtGrow(static_cast<uint16_t>(n - 1), std::move(record));
  }
}

void DLLHost::ReidentifySaved() {
  const auto folders = SearchFolders();
  for (uint16_t i = 0; i < count_; ++i) {
    DLLInfo& record = records_[i];
    record.Module = nullptr;
    // A name that is empty or holds a folder cannot name a library in these folders.
    if (record.Name.empty() || HasSeparator(record.Name)) continue;
    for (const auto& folder : folders) {
      const std::u16string path = folder + record.Name;
      record.Module = LoadCandidate(path);
      if (record.Module == nullptr) continue;
      record.Path = path;
      if (Accepted(record, i, path)) break;
      platform::FreeLibrary(record.Module);
      record.Module = nullptr;
    }
  }
}

void DLLHost::ScanForNew() {
  for (const auto& folder : SearchFolders()) {
    for (const std::string& file :
         platform::FindFiles(FolderPath(folder), "", U8(kLibrarySuffix))) {
      const std::u16string name = U16(file);
      const bool known = std::any_of(
          records_.begin(), records_.begin() + count_,
          [&](const DLLInfo& r) { return platform::EqualsIgnoreAsciiCase(r.Name, name); });
      if (known) continue;
      DLLInfo record;
      record.Mode = kModeWhenNeeded;
      record.Module = LoadCandidate(folder + name);
      if (record.Module == nullptr) continue;
      if (!Accepted(record, count_, folder + name)) {
        platform::FreeLibrary(record.Module);
        continue;
      }
      record.Name = name;
      record.Path = folder + name;
      const uint16_t position = count_;
      if (DLLInfoSetAtGrow(position, std::move(record)) == 0) Unload(position);
    }
  }
}

int32_t DLLHost::Identify(DLLInfo& record, uint16_t compareCount) {
  const auto reject = [&](const char* why) {
    rejection_ = why;
    return -1;
  };
  if (!record.Name.empty()) {
    for (uint16_t k = 0; k < compareCount && k < count_; ++k) {
      if (platform::EqualsIgnoreAsciiCase(records_[k].Name, record.Name))
        return reject("a second library of a name already registered");
    }
  }
  const auto info = reinterpret_cast<GetInformationFn>(
      platform::FindSymbol(record.Module, FELICA_EP_GET_INFORMATION));
  if (info == nullptr) return reject("it exports no GetInformation");
  if (!StartsWithNoCase(info(FELICA_INFO_KIND), kPluginKind))
    return reject("it is no NFC card reader control library");
  if (!StartsWithNoCase(info(FELICA_INFO_PLATFORM), kPlatform))
    return reject("its platform is not the one this program uses");
  record.FunctionNumber = 0;
  const char* version = info(FELICA_INFO_INTERFACE);
  if (version == nullptr) return reject("it names no interface version");
  record.InterfaceVersion = 0xFFFF;
  const auto declared = static_cast<uint16_t>(LeadingDecimal(PluginText(version)));
  if (std::find(acceptedVersions_.begin(), acceptedVersions_.end(), declared) ==
      acceptedVersions_.end())
    return reject("its interface version is not one this program accepts");
  record.InterfaceVersion = declared;
  record.InfoUnchanged = true;
  const std::pair<int, std::u16string*> texts[] = {{FELICA_INFO_DESCRIPTION, &record.Description},
                                                   {FELICA_INFO_VERSION, &record.Version},
                                                   {FELICA_INFO_DATE, &record.LatestDate}};
  for (const auto& [item, field] : texts) {
    const char* text = info(item);
    if (text == nullptr) return reject("it lacks its description, version or date");
    const std::u16string value = PluginText(text);
    if (*field != value) {
      *field = value;
      record.InfoUnchanged = false;
    }
  }
  if (record.Name.empty()) record.InfoUnchanged = false;  // a plug-in found new
  while (record.FunctionNumber < kMaxFunctions &&
         info(FELICA_INFO_FUNCTION(record.FunctionNumber)) != nullptr) {
    ++record.FunctionNumber;
  }
  return 0;
}

}  // namespace lorvane::pluginhost
