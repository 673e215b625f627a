// SPDX-License-Identifier: MIT
// Printing the tabs of a card read, as text or as the JSON document of the command line.
#pragma once

#include <string>
#include <vector>

#include "viewer/app/card_read_session.h"

namespace lorvane::app {

// Per tab: the card name, its card-information lines, the history title (when not empty)
// and the history lines; tabs are separated by a blank line.
std::string FormatReadText(const std::vector<CardView>& cards);

// {"cards": [{"name", "info", "title", "history"}, ...]}
std::string FormatReadJson(const std::vector<CardView>& cards);

}  // namespace lorvane::app
