// SPDX-License-Identifier: MIT
// A program folder in a scratch directory with test plug-ins copied into it, and a host
// started on it with a user interface that records what it was asked.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "testing/support/temp_dir.h"
#include "viewer/pluginhost/felica_dll_host.h"

namespace lorvane::pluginhost {

class RecordingUi final : public HostUi {
 public:
  std::optional<std::u16string> folderAnswer;  // nullopt: the user cancels
  std::vector<std::u16string> browsedFrom;
  std::vector<std::string> messages;  // "caption|text"
  std::vector<std::string> notes;

  std::optional<std::u16string> BrowseFolder(const std::u16string& initial) override {
    browsedFrom.push_back(initial);
    return folderAnswer;
  }
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   MessageKind) override {
    messages.push_back(platform::U8(caption) + "|" + platform::U8(text));
  }
  void Note(const std::string& text) override { notes.push_back(text); }
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { unsetenv("TEST_PLUGIN_LOG"); }

  std::filesystem::path Bin() const { return dir_.path() / "bin"; }
  // Copies test plug-in `variant` into `folder` (the program folder by default) as `file`.
  void Install(const std::string& variant, std::string file = "",
               std::filesystem::path folder = {}) const;
  std::unique_ptr<FeliCaDLLHost> StartHost();
  // The calls the plug-ins received since the last call.
  std::vector<std::string> Calls();
  std::string RegistryText() const { return dir_.Read("bin/FeliCaDLL.INI"); }
  void WriteRegistry(const std::string& text) const { dir_.Write("bin/FeliCaDLL.INI", text); }
  std::vector<std::string> Names(const DLLHost& host) const;

  lorvane::testing::TempDir dir_;
  RecordingUi ui_;
};

}  // namespace lorvane::pluginhost
