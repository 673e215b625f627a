// SPDX-License-Identifier: MIT
// The plug-in settings dialog without its widgets: which plug-in is selected, the load mode
// its radio buttons show, which buttons are enabled, and what each button does to the host.
// Every change goes straight into the host's registry in memory; the widgets render this
// state and hand their events to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/pluginhost/felica_dll_host.h"

namespace lorvane::pluginhost {

inline constexpr char16_t kNoValidReaderText[] = u"Select DLL have not valid reader.";
inline constexpr char16_t kNoValidReaderCaption[] = u"Warning";
// That no PC/SC service runs, in English ("Message", "NoService" in a language file).
inline constexpr char16_t kNoServiceText[] =
    u"The PC/SC service is not running: install and start pcscd.";

class PluginSettingsState {
 public:
  // The radio state is the load mode plus 1.
  static constexpr int kRadioNotUsed = 0;
  static constexpr int kRadioAlways = 1;
  static constexpr int kRadioWhenNeeded = 2;

  // A radio button's mark: set, cleared, or left as it is.
  enum class Mark { kMarked, kCleared, kUntouched };
  struct RadioMarks {
    Mark notUsed = Mark::kUntouched;
    Mark always = Mark::kUntouched;
    Mark whenNeeded = Mark::kUntouched;
  };

  struct Row {
    std::u16string name;
    bool validReader = false;  // drawn in grey without one
    bool current = false;      // drawn in the heavier font
  };

  PluginSettingsState(FeliCaDLLHost& host, HostUi& ui) : host_(host), ui_(ui) {}

  // The dialog opens: nothing selected, the plug-in buttons disabled.
  void Initialise();
  // The list's selection changed to `row` (-1: none).
  void Select(int row);
  // A radio button was clicked (kRadioNotUsed, kRadioAlways or kRadioWhenNeeded).
  void SetMode(int radioState);
  void MoveUp();
  void MoveDown();
  void About();
  // Opens the selected plug-in's own settings for function `function` (0-based; -1 when
  // the combo box has no selection, which does nothing).
  void Settings(int function);
  // Probes every plug-in again; when none found a reader because the PC/SC service does not
  // run, says so (the text set below, English until set).
  void Scan();
  void SetNoServiceText(std::u16string text) { noServiceText_ = std::move(text); }
  // Makes the selected plug-in current; a plug-in without a reader is refused with the
  // warning box.
  void SelectCurrent();

  int rowCount() const { return host_.GetCount(); }
  Row RowAt(int row) const;
  int selected() const { return selected_; }
  int radioState() const { return radioState_; }
  RadioMarks Marks() const;
  bool upEnabled() const { return upEnabled_; }
  bool downEnabled() const { return downEnabled_; }
  // "DLLについて...", "設定..." and the radio buttons 1016 and 1019.
  bool pluginButtonsEnabled() const { return pluginButtonsEnabled_; }
  bool functionsEnabled() const { return functionsEnabled_; }
  // The function numbers the combo box offers ("1" to this), the first selected.
  int functionCount() const { return functionCount_; }
  bool busy() const { return busy_; }

 private:
  void UpdateArrows();
  template <typename Step>
  void Guarded(Step step);

  FeliCaDLLHost& host_;
  HostUi& ui_;
  bool busy_ = false;
  int selected_ = -1;
  int radioState_ = -1;
  bool upEnabled_ = false;
  bool downEnabled_ = false;
  bool pluginButtonsEnabled_ = false;
  bool functionsEnabled_ = true;
  int functionCount_ = 0;
  std::u16string noServiceText_ = kNoServiceText;
};

}  // namespace lorvane::pluginhost
