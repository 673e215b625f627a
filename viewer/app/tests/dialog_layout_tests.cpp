// SPDX-License-Identifier: MIT
#include "viewer/app/dialog_layout.h"

#include <gtest/gtest.h>

#include <map>

namespace lorvane::app {
namespace {

// The main dialog's controls at their places for a font of base units 6 × 14.
class FakeSurface final : public LayoutSurface {
 public:
  Rect window{0, 0, 522, 464};
  std::map<Control, Rect> rects = {
      {Control::kTabs, {8, 9, 516, 397}},
      {Control::kExit, {290, 413, 389, 455}},
      {Control::kRead, {47, 413, 146, 455}},
      {Control::kInfoText, {24, 61, 503, 130}},
      {Control::kInfoGroup, {15, 44, 510, 135}},
      {Control::kHistoryList, {24, 179, 501, 380}},
      {Control::kHistoryTitle, {27, 163, 501, 184}},
      {Control::kHistoryGroup, {15, 137, 510, 389}},
  };
  std::vector<std::string> events;

  Rect WindowRect() const override { return window; }
  Rect ControlRect(Control c) const override { return rects.at(c); }
  void SetControlRect(Control c, const Rect& r) override { rects[c] = r; }
  void ShowCursor(DragCursor c) override {
    events.push_back(c == DragCursor::kSplit ? "split" : "arrow");
  }
  void CaptureMouse() override { events.push_back("capture"); }
  void ReleaseMouse() override { events.push_back("release"); }
};

class DialogLayoutTest : public ::testing::Test {
 protected:
  FakeSurface surface;
  DialogLayout layout{surface};
  const std::map<Control, Rect> before = surface.rects;
};

TEST_F(DialogLayoutTest, NothingHappensBeforeInitialisation) {
  surface.window.right += 30;
  layout.SizeChanged();
  layout.MouseMove({100, 133});
  layout.LeftButtonDown({100, 133});
  EXPECT_FALSE(layout.captured());
  EXPECT_TRUE(surface.events.empty());
  EXPECT_EQ(surface.rects, before);
}

TEST_F(DialogLayoutTest, TheFirstSizeChangeTakesTheSnapshotAndLaterOnesMoveTheControls) {
  layout.SetInitialised();
  layout.SizeChanged();
  EXPECT_TRUE(layout.captured());
  EXPECT_EQ(surface.rects, before);
  EXPECT_EQ(layout.band(), (Rect{15, 130, 510, 136}));

  surface.window = {0, 0, 552, 484};  // 30 wider, 20 taller
  layout.SizeChanged();
  auto grown = [&](Control c, int dx, int dy) {
    Rect r = before.at(c);
    r.right += dx;
    r.bottom += dy;
    return r;
  };
  auto moved = [&](Control c, int dy) {
    Rect r = before.at(c);
    r.top += dy;
    r.bottom += dy;
    return r;
  };
  EXPECT_EQ(surface.rects[Control::kTabs], grown(Control::kTabs, 30, 20));
  EXPECT_EQ(surface.rects[Control::kHistoryGroup], grown(Control::kHistoryGroup, 30, 20));
  EXPECT_EQ(surface.rects[Control::kHistoryList], grown(Control::kHistoryList, 30, 20));
  EXPECT_EQ(surface.rects[Control::kInfoGroup], grown(Control::kInfoGroup, 30, 0));
  EXPECT_EQ(surface.rects[Control::kInfoText], grown(Control::kInfoText, 30, 0));
  EXPECT_EQ(surface.rects[Control::kHistoryTitle], grown(Control::kHistoryTitle, 30, 0));
  EXPECT_EQ(surface.rects[Control::kRead], moved(Control::kRead, 20));
  EXPECT_EQ(surface.rects[Control::kExit], moved(Control::kExit, 20));

  // Back to the first size, and smaller: always measured from the snapshot.
  surface.window = {0, 0, 502, 454};
  layout.SizeChanged();
  EXPECT_EQ(surface.rects[Control::kTabs], grown(Control::kTabs, -20, -10));
  EXPECT_EQ(surface.rects[Control::kRead], moved(Control::kRead, -10));
  // The band stays where the snapshot put it.
  EXPECT_EQ(layout.band(), (Rect{15, 130, 510, 136}));
}

TEST_F(DialogLayoutTest, HoveringTheBandCapturesTheMouseAndLeavingItReleasesIt) {
  layout.SetInitialised();
  layout.MouseMove({100, 129});  // just above the band
  EXPECT_TRUE(layout.captured());
  EXPECT_TRUE(surface.events.empty());
  layout.MouseMove({100, 130});
  layout.MouseMove({509, 135});
  layout.MouseMove({100, 136});  // the band's bottom edge lies outside it
  EXPECT_EQ(surface.events, (std::vector<std::string>{"split", "capture", "arrow", "release"}));
  EXPECT_EQ(layout.dragState(), DialogLayout::DragState::kIdle);
}

TEST_F(DialogLayoutTest, DraggingTheDividerFortyPixelsDown) {
  layout.SetInitialised();
  layout.LeftButtonDown({200, 60});  // outside the band: nothing
  EXPECT_EQ(layout.dragState(), DialogLayout::DragState::kIdle);
  layout.MouseMove({200, 133});
  layout.LeftButtonDown({200, 133});
  EXPECT_EQ(layout.dragState(), DialogLayout::DragState::kDragging);
  EXPECT_EQ(layout.confinement(), (Rect{15, 94, 510, 289}));
  layout.MouseMove({250, 173});
  EXPECT_EQ(surface.rects[Control::kInfoText].bottom, 170);
  EXPECT_EQ(surface.rects[Control::kInfoGroup].bottom, 175);
  EXPECT_EQ(surface.rects[Control::kHistoryTitle], (Rect{27, 203, 501, 224}));
  EXPECT_EQ(surface.rects[Control::kHistoryList], (Rect{24, 219, 501, 380}));
  EXPECT_EQ(surface.rects[Control::kHistoryGroup], (Rect{15, 177, 510, 389}));
  EXPECT_EQ(surface.rects[Control::kTabs], before.at(Control::kTabs));
  layout.LeftButtonUp();
  EXPECT_EQ(layout.band(), (Rect{15, 170, 510, 176}));
  EXPECT_FALSE(layout.confinement());
  EXPECT_EQ(surface.events,
            (std::vector<std::string>{"split", "capture", "capture", "arrow", "release"}));
}

TEST_F(DialogLayoutTest, ADragStopsAtTheMargins) {
  layout.SetInitialised();
  layout.LeftButtonDown({200, 133});  // straight onto the band
  EXPECT_EQ(surface.events.front(), "split");
  layout.MouseMove({200, -500});  // no higher than 50 below the card group's top
  EXPECT_EQ(surface.rects[Control::kInfoGroup].bottom, 135 + (94 - 133));
  layout.MouseMove({200, 5000});  // no lower than 100 above the history group's bottom
  EXPECT_EQ(surface.rects[Control::kInfoGroup].bottom, 135 + (288 - 133));
  EXPECT_EQ(surface.rects[Control::kHistoryList].top, 179 + (288 - 133));
  layout.LeftButtonUp();
  // The next drag starts from where this one ended.
  layout.LeftButtonDown({200, 287});
  layout.MouseMove({200, 277});
  EXPECT_EQ(surface.rects[Control::kInfoGroup].bottom, 135 + (288 - 133) - 10);
}

}  // namespace
}  // namespace lorvane::app
