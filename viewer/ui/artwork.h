// SPDX-License-Identifier: MIT
// The program's own pictures: its icon and the divider's split cursor.
#pragma once

#include <QCursor>
#include <QIcon>

namespace lorvane::ui {

// The program icon, drawn from resources/icons/lorvane.svg at the usual sizes.
QIcon ProgramIcon();

// 16 × 16, monochrome: two horizontal bars with an arrow pointing up and one pointing down,
// hot spot at (7, 7).
QCursor SplitCursor();

}  // namespace lorvane::ui
