// SPDX-License-Identifier: MIT
#include "viewer/ui/tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

namespace lorvane::ui {

TabControl::TabControl(QWidget* parent) : QWidget(parent), tabBar_(new QTabBar(this)) {
  tabBar_->setDrawBase(false);
  tabBar_->setExpanding(false);
  tabBar_->setUsesScrollButtons(true);
}

void TabControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  tabBar_->setGeometry(0, 0, width(), tabBar_->sizeHint().height());
}

void TabControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  const int top = tabBar_->sizeHint().height();
  frame.rect = QRect(0, top - 1, width(), height() - top + 1);
  frame.tabBarSize = tabBar_->sizeHint();
  frame.shape = QTabBar::RoundedNorth;
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

}  // namespace lorvane::ui
