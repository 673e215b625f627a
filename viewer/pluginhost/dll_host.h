// SPDX-License-Identifier: MIT
// The registry of reader plug-ins and everything generic about them: the list operations,
// the registry file, discovery and identification of plug-in libraries, loading by mode,
// the current plug-in and the wrappers through which reads reach it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "plugin-api/felica_plugin.h"
#include "viewer/pluginhost/dll_info.h"
#include "viewer/pluginhost/host_ui.h"
#include "viewer/pluginhost/plugin_call_guard.h"
#include "viewer/pluginhost/plugin_menu.h"

namespace lorvane::pluginhost {

// Host result codes (low 16 bits of a 32-bit result).
inline constexpr int32_t kPluginNotUsed = 1;
inline constexpr int32_t kNoCurrentPlugin = 4;
inline constexpr int32_t kRegistryFault = -4;
inline constexpr int32_t kNoSettingExchange = -5;
inline constexpr int32_t kPluginIndexOutOfRange = -9;
inline constexpr int32_t kEntryPointMissing = -10;
inline constexpr int32_t kPluginNotLoaded = -40;
inline constexpr int32_t kCloseNotPossible = -43;

inline constexpr char16_t kRegistrySection[] = u"KXDLLSettings";
inline constexpr size_t kMaxPluginText = 1024;  // bytes copied from a plug-in string

class DLLHost {
 public:
  // `programFolder` is where the program (as the host sees it) lies: always searched for
  // plug-ins; the registry file lies in `registryFolder`, the program folder when empty.
  DLLHost(HostUi& ui, std::filesystem::path programFolder,
          std::filesystem::path registryFolder = {});
  virtual ~DLLHost();
  DLLHost(const DLLHost&) = delete;
  DLLHost& operator=(const DLLHost&) = delete;

  virtual int32_t Start() { return 0; }
  virtual int32_t OpenRegistry(const std::u16string& acceptedVersions);
  virtual const std::u16string& GetFolder() const { return folder_; }
  virtual void ChangeFolder(const std::optional<std::u16string>& path);
  virtual void ShowAbout(uint16_t index);
  // The message text and its code: empty and 0 (nothing in the viewer sets them).
  virtual int32_t GetMessage(const std::u16string** text) const {
    if (text != nullptr) *text = &message_;
    return messageCode_;
  }
  // Appends one command item per plug-in, command first id + position, once: again only
  // after the registry was reordered or rebuilt. 1 when done or already there, 0 when the
  // menu refused an item.
  virtual int32_t AppendPluginMenu(PluginMenu& menu, int firstId, PluginMenuText item);
  // Enables the plug-in commands; 0 at the first one that was enabled already, else 1.
  virtual int32_t EnablePluginMenu(PluginMenu& menu, int firstId);
  virtual uint16_t GetCount() const { return count_; }
  virtual void SetMode(uint16_t index, int16_t mode) { records_[index].Mode = mode; }
  virtual int16_t GetMode(uint16_t index) const {
    return static_cast<int16_t>(records_[index].Mode);
  }
  virtual uint16_t GetFunctionNumber(uint16_t index) const {
    return records_[index].FunctionNumber;
  }
  virtual const std::u16string& GetName(uint16_t index) const { return records_[index].Name; }
  virtual const std::u16string& GetPath(uint16_t index) const { return records_[index].Path; }
  virtual int32_t DLLInfoMove(uint16_t from, uint16_t to);
  virtual int32_t OpenSettings(bool flag, uint16_t index, uint16_t function);
  virtual int32_t GetCurrent() const { return current_; }
  virtual int32_t SelectCurrent(int32_t index);
  virtual int32_t GetCurrentFunction() const { return currentFunction_; }
  virtual void SetCurrentFunction(int32_t function) { currentFunction_ = function; }
  virtual int32_t Reset();
  virtual void Unload(uint16_t index);
  virtual int32_t Load(uint16_t index);

  int32_t DLLInfoSetAtGrow(uint16_t index, DLLInfo record);
  int32_t DLLInfoRemoveAt(uint16_t index);
  int32_t DLLInfoReset();
  int32_t RebuildRegistry(bool fromFile);
  int32_t Identify(DLLInfo& record, uint16_t compareCount);

  // The reader calls, each bound by name in the current plug-in at every call.
  int32_t ReaderInitialize(int32_t argument);
  int32_t ReaderOpen(const std::optional<std::u16string>& readerName);
  int32_t ReaderClose();
  int32_t ReaderREQC(int32_t systemCode);
  int32_t ReaderSetCurrentCard(int32_t index, const uint8_t** card);
  int32_t ReaderRead(uint32_t serviceCode, uint32_t block, uint8_t* data);
  // The name of reader entry `index` of the current plug-in while it is loaded; nullopt when
  // it is not loaded, does not export "DLL_GetReaderName" or has no such entry.
  std::optional<std::u16string> ReaderGetName(int32_t index);
  // The calls a card dump makes besides those: system code `index` of the card polled last
  // (nullopt when the plug-in is not loaded or lacks the entry point), the node at `index`
  // of Search Service Code, and reads of several blocks at once.
  std::optional<uint16_t> ReaderGetSystemCode(int32_t index);
  int32_t ReaderGetServiceCode(int32_t index, uint32_t* code, uint32_t* endCode);
  int32_t ReaderRead2(const BlockRef* refs, uint8_t* count, uint8_t* data);

  const DLLInfo& record(uint16_t index) const { return records_.at(index); }
  DLLInfo& record(uint16_t index) { return records_.at(index); }
  uint16_t capacity() const { return static_cast<uint16_t>(records_.size()); }
  bool modified() const { return modified_; }
  const std::vector<uint16_t>& acceptedVersions() const { return acceptedVersions_; }
  const std::filesystem::path& registryFile() const { return registryFile_; }

 protected:
  void WriteRegistry(bool atDestruction);
  std::u16string RegistryString(const std::u16string& key, size_t maxChars) const;
  int32_t RegistryInt(const std::u16string& key, int32_t defaultValue) const;
  bool WriteRegistryValue(const std::u16string& key, const std::u16string& value) const;
  // The entry point `name` of the record's library, guarded (plugin_call_guard.h).
  template <typename Function>
  GuardedEntry<Function> EntryPoint(const DLLInfo& record, const char* name) const {
    return GuardedEntry<Function>(
        reinterpret_cast<Function>(platform::FindSymbol(record.Module, name)),
        platform::U8(record.Name), name, &DLLHost::NoteFromPlugin, const_cast<DLLHost*>(this));
  }
  static void NoteFromPlugin(void* host, const std::string& message) {
    static_cast<DLLHost*>(host)->ui_.Note(message);
  }
  void Release(DLLInfo& record);
  // The current plug-in's record while its library is loaded.
  DLLInfo* LoadedCurrent();
  int32_t Fault(const char* operation);

  HostUi& ui_;
  std::filesystem::path programFolder_;
  std::filesystem::path registryFolder_;
  std::u16string settingsBaseName_;
  std::unique_ptr<IOFeliCaSetting> exchange_;
  std::vector<uint8_t> exchangeData_;  // data attached to the exchange by OpenSettings

 private:
  std::vector<std::u16string> SearchFolders() const;
  std::u16string Resolved(const std::u16string& folder) const;
  bool IsAnotherProgramFolder(const std::u16string& folder) const;
  // A library loaded to be judged; one that exists but does not load is noted with the reason.
  platform::LibraryHandle LoadCandidate(const std::u16string& path);
  bool InOwnFolder(const std::u16string& path);
  // Identify, with the verdict noted.
  bool Accepted(DLLInfo& record, uint16_t compareCount, const std::u16string& path);
  void ReidentifySaved();
  void ScanForNew();
  void ReadSavedRegistry();
  // Removes, in one pass, every record that ended without a library.
  void RemoveUnloaded();

  uint16_t count_ = 0;
  std::vector<DLLInfo> records_;  // capacity slots
  bool modified_ = false;
  std::u16string folder_;
  std::vector<uint16_t> acceptedVersions_;
  std::filesystem::path registryFile_;
  int32_t current_ = -1;
  int32_t currentFunction_ = -1;
  std::string openNameBuffer_;
  std::string rejection_;                 // why Identify last refused a library
  std::set<std::string> refusedFolders_;  // folders named as not the user's own
  std::u16string message_;
  int32_t messageCode_ = 0;
};

// The entry "DLLInfo[n].<field>" (n 1-based) and "DLLInfo[n].<field>[m]".
std::u16string RegistryKey(size_t n, std::u16string_view field);
std::u16string RegistryKey(size_t n, std::u16string_view field, size_t m);
// Numbers separated by runs of ",.;:", each read as a leading decimal number.
std::vector<uint16_t> ParseVersionList(std::u16string_view text);
// A plug-in string copied with bounds, cut at its first control character and decoded as
// UTF-8; empty for null.
std::u16string PluginText(const char* text);

}  // namespace lorvane::pluginhost
