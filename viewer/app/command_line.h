// SPDX-License-Identifier: MIT
// The viewer's command line: a headless read of a card image or a reader, printed as text
// or JSON.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lorvane::app {

inline constexpr int kExitRead = 0;
inline constexpr int kExitNotRead = 1;
inline constexpr int kExitUsage = 2;
// --dump: the image was written, or no card could be read.
inline constexpr int kExitDumped = 0;
inline constexpr int kExitNotDumped = 1;
// --check-reader: a usable reader was found, or none.
inline constexpr int kExitReaderUsable = 0;
inline constexpr int kExitNoUsableReader = 1;

struct CommandLine {
  bool read = false;  // without it (and without help or version) the window opens
  bool json = false;
  bool help = false;
  bool version = false;
  bool verbose = false;
  bool checkReader = false;
  std::optional<std::string> card;
  std::optional<std::string> definitions;
  std::optional<std::string> language;
  std::optional<std::string> screenshot;  // a PNG file: the window after one read
  std::optional<std::string> dump;        // a card image file: the card on the reader
  // The history archive.
  bool history = false;                      // print the archive's records
  bool csv = false;                          // with --read or --history: CSV
  bool noArchive = false;                    // keep no read in the archive
  std::optional<std::string> archive;        // the archive file instead of the program's
  std::optional<std::string> cardId;         // with --history: only this card
  std::vector<std::string> historyImport;    // card images to add to the archive
  std::optional<std::string> historyForget;  // the IDm of a card to remove

  bool historyCommand() const { return history || !historyImport.empty() || historyForget; }
  bool opensWindow() const {
    return !read && !dump && !checkReader && !help && !version && !historyCommand();
  }
};

// Parses the arguments (without the program name); on a usage error returns nullopt and
// sets `error`.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// Runs a parsed command line without a window and returns the exit status; `executable` is
// the program's own path (its folder holds the settings and Define/).
int RunCommandLine(const CommandLine& command, const std::string& executable);

std::string UsageText();

// The note on standard error that the card shown came from a card image file.
std::string CardImageNote(const std::filesystem::path& image);

class MainDialogModel;
// Why the last read of the model gave no card, in plain words.
std::string WhyNothingWasRead(MainDialogModel& model, const std::filesystem::path& folder);

}  // namespace lorvane::app
