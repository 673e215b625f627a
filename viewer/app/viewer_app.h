// SPDX-License-Identifier: MIT
// Everything the viewer does before its dialog opens and after it closes: where the program
// lies, its settings, and the language catalogue.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "viewer/app/language_table.h"
#include "viewer/app/viewer_settings.h"

namespace lorvane::app {

inline constexpr char kLanguageInitializeError[] = "Language Initialize Error!";
inline constexpr char16_t kErrorCaption[] = u"Error";
inline constexpr char kHistoryFileName[] = "history.sqlite";

class ViewerApp;

// The main dialog as start-up sees it: created, run modally, and destroyed only after the
// viewer's settings have been written.
class ModalDialog {
 public:
  virtual ~ModalDialog() = default;
  virtual void RunModal() = 0;
};

// What start-up needs of the window system.
class ViewerShell {
 public:
  virtual ~ViewerShell() = default;
  // A message box without owner, with an OK button and no icon.
  virtual void ShowStartupError(const std::u16string& text, const std::u16string& caption) = 0;
  virtual std::unique_ptr<ModalDialog> CreateMainDialog(ViewerApp& app) = 0;
};

// Where the program finds its parts and keeps its files. A portable program folder (Define/
// beside the executable) holds everything: languages, definitions, plug-ins, the settings
// file and the plug-in registry. An installed program finds its plug-ins and data in the
// install tree and keeps its files in $XDG_CONFIG_HOME/lorvane.
struct ProgramPaths {
  std::filesystem::path folder;  // the executable's folder
  std::u16string baseName;       // file name without folder and extension
  bool portable = true;
  std::filesystem::path dataFolder;    // languages, definitions and samples
  std::filesystem::path pluginFolder;  // the reader plug-ins
  std::filesystem::path configFolder;  // the settings file and the plug-in registry
  std::filesystem::path settingsFile;  // configFolder / baseName + ".INI"
  // $XDG_DATA_HOME/lorvane/Define/Language: when it exists, an installed program's languages.
  std::filesystem::path userLanguages;
  // The history archive: history.sqlite beside the program, or in $XDG_DATA_HOME/lorvane.
  std::filesystem::path historyFile;

  static ProgramPaths For(const std::filesystem::path& executable);
};

// The display name of the user's language, from LC_ALL / LC_MESSAGES / LANG ("English" on an
// English locale, "日本語" on a Japanese one); empty when the locale names no language.
std::u16string DefaultLanguageName();

class ViewerApp {
 public:
  explicit ViewerApp(const std::filesystem::path& executable);

  // Reads the settings and opens the language catalogue. `languageOverride` replaces the
  // stored language name. False when no language could be loaded ("Language Initialize
  // Error!"); the settings file is then left alone.
  bool Start(const std::optional<std::u16string>& languageOverride = std::nullopt);
  // Saves the settings; a language given for this run only (--language) is not saved, the
  // stored one is, unless a language was chosen in the window since.
  bool SaveSettings() const;
  // The user chose a language in the window: it is saved.
  void LanguageChosen() { languageForThisRun_ = false; }
  // The program with its window: start-up, the main dialog until it closes, then the
  // settings and then the dialog's end. False when the languages could not be loaded: the
  // error box was shown, no dialog opened and the settings file is untouched.
  bool Run(ViewerShell& shell, const std::optional<std::u16string>& languageOverride);

  const ProgramPaths& paths() const { return paths_; }
  const ViewerSettings& settings() const { return settings_; }
  LanguageTable& languages() { return languages_; }
  std::filesystem::path LanguageBaseFolder() const;
  // The line on standard error that goes with "Language Initialize Error!".
  std::string LanguageErrorDetail() const;
  // A warning when the language asked for was not found (empty when it was, or none was
  // asked for).
  std::string LanguageFallbackWarning(const std::u16string& wanted) const;
  std::u16string AboutProductText() const;
  std::u16string AboutNoticeText() const;

 private:
  ProgramPaths paths_;
  ViewerSettings settings_;
  bool languageForThisRun_ = false;
  LanguageTable languages_;
};

}  // namespace lorvane::app
