// SPDX-License-Identifier: MIT
#include "testing/support/modal_windows.h"

#include <QApplication>
#include <QTimer>

namespace lorvane::testing {

void WhenModal(std::function<void(QWidget*)> action, QWidget* besides) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action, besides]() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == besides || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}

}  // namespace lorvane::testing
