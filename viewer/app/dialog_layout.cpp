// SPDX-License-Identifier: MIT
#include "viewer/app/dialog_layout.h"

#include <algorithm>

namespace lorvane::app {

DialogLayout::Slot& DialogLayout::SlotOf(Control control) {
  const auto at = std::find(kLayoutControls.begin(), kLayoutControls.end(), control);
  return slots_[static_cast<size_t>(at - kLayoutControls.begin())];
}

void DialogLayout::Apply(Control control) {
  surface_.SetControlRect(control, SlotOf(control).current);
}

void DialogLayout::CaptureLayout() {
  window_ = surface_.WindowRect();
  for (size_t i = 0; i < kLayoutControls.size(); ++i) {
    slots_[i].snapshot = surface_.ControlRect(kLayoutControls[i]);
    slots_[i].current = slots_[i].snapshot;
  }
  const Rect& group = SlotOf(Control::kInfoGroup).current;
  band_ = {group.left, group.bottom - kBandAbove, group.right, group.bottom + kBandBelow};
  captured_ = true;
}

// The change is taken from the window's size, so that growing the window at any edge, or a
// window manager maximising it, gives the controls the room.
void DialogLayout::SizeChanged() {
  if (!initialised_) return;
  if (!captured_) {
    CaptureLayout();
    return;
  }
  const Rect now = surface_.WindowRect();
  const int dx = now.width() - window_.width();
  const int dy = now.height() - window_.height();
  for (Control control : kLayoutControls) {
    Slot& slot = SlotOf(control);
    switch (control) {
      case Control::kExit:
      case Control::kRead:
        slot.current.top = slot.snapshot.top + dy;
        slot.current.bottom = slot.snapshot.bottom + dy;
        break;
      case Control::kInfoText:
      case Control::kInfoGroup:
      case Control::kHistoryTitle:
        slot.current.right = slot.snapshot.right + dx;
        break;
      case Control::kTabs:
      case Control::kHistoryList:
      case Control::kHistoryGroup:
        slot.current.right = slot.snapshot.right + dx;
        slot.current.bottom = slot.snapshot.bottom + dy;
        break;
    }
    Apply(control);
  }
}

Point DialogLayout::Confined(Point pointer) const {
  if (!confinement_) return pointer;
  const Rect& c = *confinement_;
  pointer.x = std::max(c.left, std::min(pointer.x, c.right - 1));
  pointer.y = std::max(c.top, std::min(pointer.y, c.bottom - 1));
  return pointer;
}

void DialogLayout::DragTo(Point pointer) {
  moving_ = true;
  const int dy = Confined(pointer).y - anchor_.y;
  Slot& text = SlotOf(Control::kInfoText);
  text.current.bottom = text.snapshot.bottom + dy;
  Apply(Control::kInfoText);
  Slot& group = SlotOf(Control::kInfoGroup);
  group.current.bottom = group.snapshot.bottom + dy;
  Apply(Control::kInfoGroup);
  Slot& list = SlotOf(Control::kHistoryList);
  list.current.top = list.snapshot.top + dy;
  Apply(Control::kHistoryList);
  Slot& title = SlotOf(Control::kHistoryTitle);
  title.current.top = title.snapshot.top + dy;
  title.current.bottom = title.snapshot.bottom + dy;
  Apply(Control::kHistoryTitle);
  Slot& history = SlotOf(Control::kHistoryGroup);
  history.current.top = history.snapshot.top + dy;
  Apply(Control::kHistoryGroup);
  moving_ = false;
}

void DialogLayout::MouseMove(Point pointer) {
  if (!initialised_) return;
  if (!captured_) CaptureLayout();
  if (state_ == DragState::kDragging) {
    if (!moving_) DragTo(pointer);
  } else if (state_ == DragState::kIdle && band_.Contains(pointer)) {
    surface_.ShowCursor(DragCursor::kSplit);
    state_ = DragState::kOverBand;
    surface_.CaptureMouse();
  } else if (state_ == DragState::kOverBand && !band_.Contains(pointer)) {
    surface_.ShowCursor(DragCursor::kArrow);
    state_ = DragState::kIdle;
    surface_.ReleaseMouse();
  }
}

void DialogLayout::LeftButtonDown(Point pointer) {
  if (!initialised_) return;
  if (!captured_) CaptureLayout();
  if (!band_.Contains(pointer)) return;
  anchor_ = pointer;
  if (state_ != DragState::kOverBand) surface_.ShowCursor(DragCursor::kSplit);
  const Rect& group = SlotOf(Control::kInfoGroup).current;
  Slot& history = SlotOf(Control::kHistoryGroup);
  history.current = surface_.ControlRect(Control::kHistoryGroup);
  confinement_ =
      Rect{group.left, group.top + kTopMargin, group.right, history.current.bottom - kBottomMargin};
  moving_ = false;
  state_ = DragState::kDragging;
  surface_.CaptureMouse();
}

void DialogLayout::LeftButtonUp() {
  if (state_ != DragState::kDragging) return;
  CaptureLayout();
  surface_.ShowCursor(DragCursor::kArrow);
  confinement_.reset();
  surface_.ReleaseMouse();
  state_ = DragState::kIdle;
}

}  // namespace lorvane::app
