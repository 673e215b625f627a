// SPDX-License-Identifier: MIT
// The plug-in settings dialog: the registered plug-ins in the user's order (grey without a
// reader, the current one heavier), their load modes, their own settings and
// self-descriptions, the reader probe and the choice of the current plug-in. A thin view of
// PluginSettingsState.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "viewer/app/language_table.h"
#include "viewer/pluginhost/plugin_settings_state.h"

namespace lorvane::ui {

class PluginSettingsDialog final : public QDialog {
  Q_OBJECT

 public:
  // With `languages`, the texts of the chosen language ("PluginSettings" keys) where its file
  // has them; without, the dialog's own.
  PluginSettingsDialog(pluginhost::FeliCaDLLHost& host, pluginhost::HostUi& ui, QWidget* parent,
                       const app::LanguageTable* languages = nullptr);

  const pluginhost::PluginSettingsState& state() const { return state_; }
  QListWidget* list() const { return list_; }
  QPushButton* closeButton() const { return close_; }
  QPushButton* aboutButton() const { return about_; }
  QPushButton* settingsButton() const { return settings_; }
  QComboBox* functions() const { return functions_; }
  QPushButton* upButton() const { return up_; }
  QPushButton* downButton() const { return down_; }
  QRadioButton* notUsedButton() const { return notUsed_; }
  QRadioButton* alwaysButton() const { return always_; }
  QRadioButton* whenNeededButton() const { return whenNeeded_; }
  QPushButton* scanButton() const { return scan_; }
  QPushButton* selectButton() const { return select_; }

 private:
  void CreateControls();
  QString Label(const char16_t* key, const char* own) const;
  void Connect();
  void FillList();
  void ShowSelection();
  void ShowButtons();
  void ShowRadioMarks();
  void SelectRow(int row);
  void ModeClicked(int radioState);

  pluginhost::PluginSettingsState state_;
  QPushButton* close_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* about_ = nullptr;
  QPushButton* settings_ = nullptr;
  QComboBox* functions_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QRadioButton* notUsed_ = nullptr;
  QRadioButton* always_ = nullptr;
  QRadioButton* whenNeeded_ = nullptr;
  QGroupBox* modes_ = nullptr;
  QPushButton* scan_ = nullptr;
  QPushButton* select_ = nullptr;
  const app::LanguageTable* languages_ = nullptr;
};

}  // namespace lorvane::ui
