// SPDX-License-Identifier: MIT
// A tab control as one rectangle: the tabs along its top and a framed pane below them. The
// controls shown "inside" the pane are its siblings, laid over it; the pane lets the mouse
// through to the dialog, as the dialog's divider needs.
#pragma once

#include <QTabBar>
#include <QWidget>

namespace lorvane::ui {

class TabControl final : public QWidget {
  Q_OBJECT

 public:
  explicit TabControl(QWidget* parent);

  QTabBar* tabBar() const { return tabBar_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QTabBar* tabBar_;
};

}  // namespace lorvane::ui
