// SPDX-License-Identifier: MIT
// Help for tests of Qt dialogs: acting on a modal window once it shows, while the code under
// test waits in its modal loop.
#pragma once

#include <QWidget>
#include <functional>

namespace lorvane::testing {

// Runs `action` on the next visible modal window that is not `besides`, as soon as it shows.
void WhenModal(std::function<void(QWidget*)> action, QWidget* besides = nullptr);

}  // namespace lorvane::testing
