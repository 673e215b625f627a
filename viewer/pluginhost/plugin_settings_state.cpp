// SPDX-License-Identifier: MIT
#include "viewer/pluginhost/plugin_settings_state.h"

namespace lorvane::pluginhost {

// The handlers that can open further modal windows do nothing while one of them runs.
template <typename Step>
void PluginSettingsState::Guarded(Step step) {
  if (busy_) return;
  busy_ = true;
  step();
  busy_ = false;
}

void PluginSettingsState::Initialise() {
  busy_ = false;
  selected_ = -1;
  radioState_ = -1;
  upEnabled_ = downEnabled_ = pluginButtonsEnabled_ = false;
  functionCount_ = 0;
}

void PluginSettingsState::UpdateArrows() {
  upEnabled_ = selected_ > 0;
  downEnabled_ = selected_ >= 0 && selected_ < rowCount() - 1;
}

void PluginSettingsState::Select(int row) {
  if (selected_ >= 0 && selected_ < rowCount())
    host_.SetMode(static_cast<uint16_t>(selected_), static_cast<int16_t>(radioState_ - 1));
  selected_ = row >= 0 && row < rowCount() ? row : -1;
  UpdateArrows();
  if (selected_ < 0) {
    radioState_ = -1;
    pluginButtonsEnabled_ = false;
    return;
  }
  const auto index = static_cast<uint16_t>(selected_);
  radioState_ = host_.GetMode(index) + 1;
  functionCount_ = host_.GetFunctionNumber(index);
  functionsEnabled_ = functionCount_ != 1;
  pluginButtonsEnabled_ = true;
}

PluginSettingsState::RadioMarks PluginSettingsState::Marks() const {
  switch (radioState_) {
    case kRadioNotUsed:
      return {Mark::kMarked, Mark::kCleared, Mark::kCleared};
    case kRadioAlways:  // "常に" is never marked: a plug-in in this mode shows no mark
      return {Mark::kCleared, Mark::kUntouched, Mark::kCleared};
    case kRadioWhenNeeded:
      return {Mark::kCleared, Mark::kCleared, Mark::kMarked};
    default:
      return {Mark::kCleared, Mark::kCleared, Mark::kCleared};
  }
}

void PluginSettingsState::SetMode(int radioState) {
  if (selected_ < 0) return;
  radioState_ = radioState;
  host_.SetMode(static_cast<uint16_t>(selected_), static_cast<int16_t>(radioState - 1));
}

void PluginSettingsState::MoveUp() {
  Guarded([&] {
    if (selected_ <= 0) return;
    host_.DLLInfoMove(static_cast<uint16_t>(selected_), static_cast<uint16_t>(selected_ - 1));
    --selected_;
    UpdateArrows();
  });
}

void PluginSettingsState::MoveDown() {
  Guarded([&] {
    if (selected_ < 0 || selected_ >= rowCount() - 1) return;
    host_.DLLInfoMove(static_cast<uint16_t>(selected_), static_cast<uint16_t>(selected_ + 1));
    ++selected_;
    UpdateArrows();
  });
}

void PluginSettingsState::About() {
  Guarded([&] {
    if (selected_ >= 0) host_.ShowAbout(static_cast<uint16_t>(selected_));
  });
}

void PluginSettingsState::Settings(int function) {
  Guarded([&] {
    if (selected_ < 0 || function < 0 || function >= functionCount_) return;
    host_.OpenSettings(false, static_cast<uint16_t>(selected_), static_cast<uint16_t>(function));
  });
}

void PluginSettingsState::Scan() {
  if (host_.Probe() > 0) return;
  if (host_.ProbeFoundNoService()) ui_.ShowMessage(noServiceText_, u"Scan", MessageKind::kWarning);
}

void PluginSettingsState::SelectCurrent() {
  if (selected_ < 0) return;
  if (host_.SelectCurrent(selected_) != 0)
    ui_.ShowMessage(kNoValidReaderText, kNoValidReaderCaption, MessageKind::kPlain);
}

PluginSettingsState::Row PluginSettingsState::RowAt(int row) const {
  const auto index = static_cast<uint16_t>(row);
  return {host_.GetName(index), host_.record(index).HasValidReader, host_.GetCurrent() == row};
}

}  // namespace lorvane::pluginhost
