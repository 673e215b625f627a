// SPDX-License-Identifier: MIT
// The history archive on the command line: storing what a read saw, and --history,
// --history-import and --history-forget.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "viewer/app/command_line.h"
#include "viewer/app/definition_discovery.h"
#include "viewer/archive/card_history.h"

namespace lorvane::app {

class ViewerApp;

// --history: something was printed; the archive holds no card (or not that one).
inline constexpr int kExitHistoryShown = 0;
inline constexpr int kExitNoCardArchived = 1;

// The archive file: --archive FILE, else the program's (history.sqlite beside a portable
// program, in $XDG_DATA_HOME/lorvane when installed).
std::filesystem::path ArchiveFile(const CommandLine& command, const ViewerApp& app);

// Stores each read it is given in `file`; a failure is told as a file problem (the file and
// the reason) and never stops the read.
std::function<void(const archive::StoredRead&)> ArchiverFor(const std::filesystem::path& file);

// A card's IDm from 16 hexadecimal digits, blanks allowed between them.
std::optional<archive::Id8> ParseCardId(const std::string& text);

// "2026-12-08T10:15:00Z"
std::string IsoTime(int64_t secondsSince1970);

// The histories as text (per card kind its name, IDm line, title and every line) and as the
// JSON document of --history --json.
std::string HistoriesText(const std::vector<archive::CardHistory>& histories);
std::string HistoriesJson(const std::vector<archive::CardHistory>& histories);

// The history of each definition that read the card, as --read --csv prints it (at most
// the 100 lines a tab shows).
std::vector<archive::CardHistory> HistoriesOfRead(
    const std::vector<carddef::CardDefinition*>& read);

int RunHistory(const CommandLine& command, ViewerApp& app, const CardDefinitions& definitions);
int RunHistoryImport(const CommandLine& command, ViewerApp& app);
int RunHistoryForget(const CommandLine& command, ViewerApp& app);

}  // namespace lorvane::app
