// SPDX-License-Identifier: MIT
// The main dialog's layout rules in pixels: the snapshot of its control rectangles, how the
// controls follow a change of the window's size, and the drag of the divider between the
// card-information area and the history area. The widgets are reached through a surface,
// so the rules run and are tested without a window system.
#pragma once

#include <array>
#include <optional>

namespace lorvane::app {

struct Point {
  int x = 0;
  int y = 0;
};

// A rectangle as the window system gives it: left and top inside, right and bottom outside.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool operator==(const Rect&) const = default;
};

// The main dialog's controls, by their template identifiers.
enum class Control : int {
  kExit = 1,
  kRead = 1002,
  kHistoryList = 1006,
  kTabs = 1008,
  kInfoText = 1012,
  kHistoryTitle = 1014,
  kInfoGroup = 1015,
  kHistoryGroup = 1017,
};

// The controls in the order the layout visits them.
inline constexpr std::array<Control, 8> kLayoutControls = {
    Control::kTabs,      Control::kExit,        Control::kRead,         Control::kInfoText,
    Control::kInfoGroup, Control::kHistoryList, Control::kHistoryTitle, Control::kHistoryGroup};

enum class DragCursor { kArrow, kSplit };

// What the layout needs of the dialog: rectangles in the dialog's client coordinates.
class LayoutSurface {
 public:
  virtual ~LayoutSurface() = default;
  // The window's size as a rectangle at the origin.
  virtual Rect WindowRect() const = 0;
  virtual Rect ControlRect(Control control) const = 0;
  virtual void SetControlRect(Control control, const Rect& rect) = 0;
  virtual void ShowCursor(DragCursor cursor) = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
};

class DialogLayout {
 public:
  static constexpr int kTopMargin = 50;      // a drag stops this far below the card group's top
  static constexpr int kBottomMargin = 100;  // and this far above the history group's bottom
  static constexpr int kBandAbove = 5;       // the band reaches 5 pixels into the card group
  static constexpr int kBandBelow = 1;       // and 1 pixel below it

  enum class DragState { kIdle = 0, kOverBand = 1, kDragging = 2 };

  explicit DialogLayout(LayoutSurface& surface) : surface_(surface) {}

  // Set at the end of the dialog's initialisation; nothing happens before.
  void SetInitialised() { initialised_ = true; }

  // The window and every control as they are now become the snapshot; the divider band is
  // placed at the bottom edge of the card-information group.
  void CaptureLayout();
  // After the window's size changed: the controls follow by the change since the snapshot.
  void SizeChanged();

  void MouseMove(Point pointer);
  void LeftButtonDown(Point pointer);
  void LeftButtonUp();

  bool captured() const { return captured_; }
  const Rect& band() const { return band_; }
  DragState dragState() const { return state_; }
  // While dragging: where the pointer is kept (the cursor is confined to it).
  const std::optional<Rect>& confinement() const { return confinement_; }

 private:
  struct Slot {
    Rect snapshot;
    Rect current;
  };
  Slot& SlotOf(Control control);
  void Apply(Control control);
  void DragTo(Point pointer);
  Point Confined(Point pointer) const;

  LayoutSurface& surface_;
  bool initialised_ = false;
  bool captured_ = false;
  Rect window_;
  std::array<Slot, kLayoutControls.size()> slots_{};
  Rect band_;
  DragState state_ = DragState::kIdle;
  Point anchor_;
  bool moving_ = false;
  std::optional<Rect> confinement_;
};

}  // namespace lorvane::app
