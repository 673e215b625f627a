// SPDX-License-Identifier: MIT
// The plug-in host against a plug-in that answers anything (fuzz/scripted_plugin.cpp, two
// copies in a program folder): identification texts of any bytes and length, setting sizes
// and data, statuses, reader names, the card identity pointer and block data. The host
// starts (identification, settings, probe), a definition reads a card through it, the
// plug-in's own settings and About box run, and the host saves its registry. Nothing may
// go outside a buffer, and no plug-in text may add a line to the registry file.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/carddef/card_definition.h"
#include "viewer/pluginhost/felica_dll_host.h"

namespace {

namespace fs = std::filesystem;
using lorvane::platform::U16;

const uint8_t* g_data = nullptr;
size_t g_size = 0;
size_t g_at = 0;

class SilentUi final : public lorvane::pluginhost::HostUi {
 public:
  std::optional<std::u16string> BrowseFolder(const std::u16string&) override {
    return std::nullopt;
  }
  void ShowMessage(const std::u16string&, const std::u16string&,
                   lorvane::pluginhost::MessageKind) override {}
};

const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path f = fs::temp_directory_path() / ("plugin-fuzz-" + std::to_string(getpid()));
    fs::create_directories(f);
    for (const char* name : {"a.so", "b.so"})
      fs::copy_file(SCRIPTED_PLUGIN, f / name, fs::copy_options::overwrite_existing);
    std::ofstream(f / "CardDef_Test.ini")
        << "[Card Definition]\nCardName=Test\nSystemCode1=0003,1\nServiceCode.01=090F,0,3\n"
           "Info.01.BlockSetNo=1\nInfo.01.BlockPerRecord=1\nInfo.01.History=1\n"
           "Info.01.Format=\"%s %s\",1,2\nInfo.01.01.Data=0,2\nInfo.01.01.Format=%04X\n"
           "Info.01.02.Data=4,2,0,7\nInfo.01.02.Function=MR\nInfo.01.02.Format=%d\n";
    return f;
  }();
  return folder;
}

}  // namespace

// The scripted plug-in's source of answers: the next bytes of the input, zeros past its end.
extern "C" __attribute__((visibility("default"))) size_t FuzzScriptTake(uint8_t* out, size_t n) {
  const size_t available = std::min(n, g_size - std::min(g_at, g_size));
  std::memcpy(out, g_data + g_at, available);
  std::memset(out + available, 0, n - available);
  g_at += available;
  return available;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  g_at = 0;
  const fs::path& folder = Folder();
  const std::string folderText = folder.string() + "/";
  std::ofstream(folder / "FeliCaDLL.INI", std::ios::trunc)
      << "[KXDLLSettings]\nDLLDirectory=" << folderText << "\n";
  lorvane::platform::ClearProfileCache();
  SilentUi ui;
  {
    lorvane::pluginhost::FeliCaDLLHost host(ui, folder);
    host.ChangeFolder(U16(folderText));
    host.Start();
    lorvane::carddef::CardDefinition definition(U16((folder / "CardDef_Test.ini").string()), -1);
    lorvane::pluginhost::HostCardReader reader(host);
    reader.ReaderOpen();
    definition.ReadCard(reader);
    reader.ReaderClose();
    host.ReaderGetName(0);
    if (host.GetCount() > 0) {
      host.OpenSettings(false, 0, 0);
      host.ShowAbout(0);
    }
  }
  lorvane::platform::ClearProfileCache();
  const std::u16string stored = lorvane::platform::GetProfileString(
      u"KXDLLSettings", u"DLLDirectory", u"", 999, folder / "FeliCaDLL.INI");
  if (stored != U16(folderText)) __builtin_trap();
  return 0;
}
