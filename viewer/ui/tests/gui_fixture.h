// SPDX-License-Identifier: MIT
// A program folder for window tests: the shipped languages and definitions, the card-image
// plug-in and the sample card, in a scratch folder; and help with modal windows.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/support/modal_windows.h"
#include "testing/support/temp_dir.h"
#include "viewer/app/viewer_app.h"
#include "viewer/ui/main_dialog.h"

namespace lorvane::ui {

// The host's questions answered for a test: every folder choice cancelled, messages kept.
class RecordingHostUi final : public pluginhost::HostUi {
 public:
  std::vector<std::string> messages;  // "caption|text"
  int folderQuestions = 0;

  std::optional<std::u16string> BrowseFolder(const std::u16string&) override {
    ++folderQuestions;
    return std::nullopt;
  }
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   pluginhost::MessageKind) override;
};

class GuiTest : public ::testing::Test {
 protected:
  GuiTest();

  std::filesystem::path Folder() const { return dir_.path(); }
  std::filesystem::path Exe() const { return dir_.path() / "lorvane"; }
  // Starts the viewer's core in the program folder with `language`.
  std::unique_ptr<app::ViewerApp> StartApp(const std::string& language = "English");
  // The main dialog on that core, shown offscreen.
  std::unique_ptr<MainDialog> OpenDialog(app::ViewerApp& app, MainDialog::Setup setup = {});
  // A language "Test" whose folder holds `files` (name → contents) besides Language.ini.
  void AddLanguage(const std::vector<std::pair<std::string, std::string>>& files);

  lorvane::testing::TempDir dir_;
  RecordingHostUi hostUi_;
};

using lorvane::testing::WhenModal;

// The lines `lorvane --read` prints for the arguments.
std::vector<std::string> ReadLines(const std::vector<std::string>& args);

}  // namespace lorvane::ui
