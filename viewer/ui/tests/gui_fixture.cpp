// SPDX-License-Identifier: MIT
#include "viewer/ui/tests/gui_fixture.h"

#include <QApplication>
#include <nlohmann/json.hpp>

#include "platform/text_codec.h"
#include "testing/support/program_runner.h"

namespace lorvane::ui {

namespace fs = std::filesystem;

void RecordingHostUi::ShowMessage(const std::u16string& text, const std::u16string& caption,
                                  pluginhost::MessageKind) {
  messages.push_back(platform::U8(caption) + "|" + platform::U8(text));
}

GuiTest::GuiTest() {
  const fs::path bin = LORVANE_BIN_DIR;
  fs::copy(bin / "Define", Folder() / "Define", fs::copy_options::recursive);
  fs::copy(bin / "samples", Folder() / "samples", fs::copy_options::recursive);
  fs::copy(bin / "cardimage.so", Folder() / "cardimage.so");
}

std::unique_ptr<app::ViewerApp> GuiTest::StartApp(const std::string& language) {
  auto app = std::make_unique<app::ViewerApp>(Exe());
  EXPECT_TRUE(app->Start(platform::U16(language)));
  return app;
}

std::unique_ptr<MainDialog> GuiTest::OpenDialog(app::ViewerApp& app, MainDialog::Setup setup) {
  auto dialog = std::make_unique<MainDialog>(app, hostUi_, std::move(setup));
  dialog->show();
  QApplication::processEvents();
  return dialog;
}

void GuiTest::AddLanguage(const std::vector<std::pair<std::string, std::string>>& files) {
  dir_.Write("Define/Language/Test/Language.ini",
             "[Information]\nApplication=lorvane\nName=Test\n[String]\nSTRING006=Nothing\n");
  for (const auto& [name, contents] : files) dir_.Write("Define/Language/Test/" + name, contents);
}

// From the JSON form, which keeps the lines as the window pads them (text printed to a
// terminal is padded for terminal columns).
std::vector<std::string> ReadLines(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"--read", "--json"};
  all.insert(all.end(), args.begin(), args.end());
  const auto result = lorvane::testing::RunProgram(fs::path(LORVANE_BIN_DIR) / "lorvane", all);
  std::vector<std::string> lines;
  const auto document = nlohmann::json::parse(result.out);
  for (const auto& card : document["cards"]) {
    lines.push_back(card["name"]);
    for (const auto& line : card["info"]) lines.push_back(line);
    if (!card["title"].get<std::string>().empty()) lines.push_back(card["title"]);
    for (const auto& line : card["history"]) lines.push_back(line);
  }
  return lines;
}

}  // namespace lorvane::ui
