// SPDX-License-Identifier: MIT
#include "viewer/app/viewer_app.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "build_info.h"
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

// $VARIABLE when it is an absolute path, else the fallback below the home folder.
std::filesystem::path XdgFolder(const char* variable, const char* underHome) {
  const char* value = std::getenv(variable);
  if (value != nullptr && *value == '/') return value;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home != '/') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : "/";
  }
  return std::filesystem::path(home) / underHome;
}

ProgramPaths ProgramPaths::For(const std::filesystem::path& executable) {
  ProgramPaths p;
  p.folder = executable.parent_path();
  p.baseName = platform::U16(executable.stem().string());
  std::error_code ec;
  p.portable = std::filesystem::is_directory(p.folder / "Define", ec);
  if (p.portable) {
    p.dataFolder = p.pluginFolder = p.configFolder = p.folder;
    p.historyFile = p.folder / kHistoryFileName;
  } else {
    p.dataFolder = (p.folder / LORVANE_BIN_TO_DATA).lexically_normal();
    p.pluginFolder = (p.folder / LORVANE_BIN_TO_PLUGINS).lexically_normal();
    p.configFolder = XdgFolder("XDG_CONFIG_HOME", ".config") / "lorvane";
    p.userLanguages = XdgFolder("XDG_DATA_HOME", ".local/share") / "lorvane/Define/Language";
    p.historyFile = XdgFolder("XDG_DATA_HOME", ".local/share") / "lorvane" / kHistoryFileName;
  }
  p.settingsFile = p.configFolder / (executable.stem().string() + ".INI");
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

// The "LanguageDirectory" setting below the data folder; an installed program's user
// languages take its place when they exist.
std::filesystem::path ViewerApp::LanguageBaseFolder() const {
  std::error_code ec;
  if (!paths_.portable && std::filesystem::is_directory(paths_.userLanguages, ec))
    return paths_.userLanguages / "";
  std::string setting = platform::U8(settings_.languageDirectory);
  std::replace(setting.begin(), setting.end(), '\\', '/');
  return std::filesystem::path(paths_.dataFolder.string() + "/" + setting + "/").lexically_normal();
}

bool ViewerApp::Start(const std::optional<std::u16string>& languageOverride) {
  std::error_code ec;
  if (!paths_.portable) std::filesystem::create_directories(paths_.configFolder, ec);
  settings_ = ViewerSettings::Read(paths_.settingsFile);
  languageForThisRun_ = languageOverride.has_value();
  std::u16string wanted = languageOverride.value_or(settings_.language);
  if (wanted.empty()) wanted = DefaultLanguageName();
  return languages_.LoadLanguages(paths_.baseName, LanguageBaseFolder(), wanted) == kLanguageOk;
}

bool ViewerApp::SaveSettings() const {
  const bool keepStored = languageForThisRun_ && !settings_.language.empty();
  return settings_.Write(paths_.settingsFile,
                         keepStored ? settings_.language : languages_.GetCurrentLanguageName());
}

std::string ViewerApp::LanguageErrorDetail() const {
  return "lorvane: no language of the program \"" + platform::U8(paths_.baseName) + "\" in " +
         LanguageBaseFolder().string();
}

std::string ViewerApp::LanguageFallbackWarning(const std::u16string& wanted) const {
  const std::u16string_view name = platform::Trim(wanted, platform::kWhiteSpace);
  const std::u16string current = languages_.GetCurrentLanguageName();
  if (name.empty() ||
      platform::EqualsIgnoreAsciiCase(name, platform::Trim(current, platform::kWhiteSpace)))
    return {};
  return "lorvane: there is no language \"" + platform::U8(name) + "\"; using \"" +
         platform::U8(current) + "\"";
}

bool ViewerApp::Run(ViewerShell& shell, const std::optional<std::u16string>& languageOverride) {
  if (!Start(languageOverride)) {
    std::fprintf(stderr, "%s\n%s\n", kLanguageInitializeError, LanguageErrorDetail().c_str());
    shell.ShowStartupError(platform::U16(kLanguageInitializeError), kErrorCaption);
    return false;
  }
  if (languageOverride) {
    const std::string warning = LanguageFallbackWarning(*languageOverride);
    if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
  }
  std::unique_ptr<ModalDialog> dialog = shell.CreateMainDialog(*this);
  dialog->RunModal();
  SaveSettings();
  dialog.reset();  // its card definitions, then its plug-in host, which saves its registry
  return true;
}

// "<product>\n<file name> Version <version>", as the build describes the program.
std::u16string ViewerApp::AboutProductText() const {
  return platform::U16("Lorvane\nlorvane Version " LORVANE_VERSION_TEXT);
}

std::u16string ViewerApp::AboutNoticeText() const { return platform::U16(LORVANE_COPYRIGHT); }

}  // namespace lorvane::app
