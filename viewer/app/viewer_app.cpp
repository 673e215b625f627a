#include "viewer/app/viewer_app.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text_codec.h"

namespace lorvane::app {
namespace {

std::string LocaleLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace

ProgramPaths ProgramPaths::For(const std::filesystem::path& executable) {
  ProgramPaths p;
  p.folder = executable.parent_path();
  p.baseName = platform::U16(executable.stem().string());
  p.settingsFile = p.folder / (executable.stem().string() + ".INI");
  return p;
}

std::u16string DefaultLanguageName() {
  const std::string locale = LocaleLanguage();
  const std::string code = locale.substr(0, locale.find_first_of("_.@"));
  if (code == "en") return u"English";
  if (code == "ja") return u"日本語";
  return {};
}

ViewerApp::ViewerApp(const std::filesystem::path& executable)
    : paths_(ProgramPaths::For(executable)) {}

std::filesystem::path ViewerApp::LanguageBaseFolder() const {
  std::string setting = platform::U8(settings_.languageDirectory);
  std::replace(setting.begin(), setting.end(), '\\', '/');
  return std::filesystem::path(paths_.folder.string() + "/" + setting + "/").lexically_normal();
}

bool ViewerApp::Start(const std::optional<std::u16string>& languageOverride) {
  settings_ = ViewerSettings::Read(paths_.settingsFile);
  std::u16string wanted = languageOverride.value_or(settings_.language);
  if (wanted.empty()) wanted = DefaultLanguageName();
  return languages_.LoadLanguages(paths_.baseName, LanguageBaseFolder(), wanted) == kLanguageOk;
}

bool ViewerApp::SaveSettings() const {
  return settings_.Write(paths_.settingsFile, languages_.GetCurrentLanguageName());
}

bool ViewerApp::Run(ViewerShell& shell, const std::optional<std::u16string>& languageOverride) {
  if (!Start(languageOverride)) {
    shell.ShowStartupError(platform::U16(kLanguageInitializeError), kErrorCaption);
    return false;
  }
  std::unique_ptr<ModalDialog> dialog = shell.CreateMainDialog(*this);
  dialog->RunModal();
  SaveSettings();
  dialog.reset();  // its card definitions, then its plug-in host, which saves its registry
  return true;
}

std::u16string ViewerApp::AboutProductText() const { return u"Lorvane\nlorvane Version 1.00"; }

std::u16string ViewerApp::AboutNoticeText() const {
  return u"Copyright (C) 2026 The Lorvane developers";
}

}  // namespace lorvane::app
