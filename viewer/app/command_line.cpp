// SPDX-License-Identifier: MIT
#include "viewer/app/command_line.h"

#include <cstdio>

#include "platform/text_codec.h"
#include "viewer/app/main_dialog_model.h"
#include "viewer/app/read_output.h"
#include "viewer/app/viewer_app.h"

namespace lorvane::app {
namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::optional<std::string>& out, std::string& error) {
  const std::string& arg = args[i];
  if (arg.rfind(name + "=", 0) == 0) {
    out = arg.substr(name.size() + 1);
  } else if (i + 1 < args.size()) {
    out = args[++i];
  } else {
    error = name + " needs a value";
    return false;
  }
  return true;
}

bool ParseOne(const std::vector<std::string>& args, size_t& i, CommandLine& command,
              std::string& error) {
  const std::string& arg = args[i];
  const auto is = [&](const char* name) {
    return arg == name || arg.rfind(std::string(name) + "=", 0) == 0;
  };
  if (arg == "--read") {
    command.read = true;
  } else if (arg == "--json") {
    command.json = true;
  } else if (arg == "--help" || arg == "-h") {
    command.help = true;
  } else if (arg == "--version") {
    command.version = true;
  } else if (is("--card")) {
    return TakeValue(args, i, "--card", command.card, error);
  } else if (is("--definitions")) {
    return TakeValue(args, i, "--definitions", command.definitions, error);
  } else if (is("--language")) {
    return TakeValue(args, i, "--language", command.language, error);
  } else if (is("--screenshot")) {
    return TakeValue(args, i, "--screenshot", command.screenshot, error);
  } else {
    error = "unknown argument \"" + arg + "\"";
    return false;
  }
  return true;
}

}  // namespace

std::string UsageText() {
  return "usage: lorvane [--card FILE] [--language NAME]   open the viewer window\n"
         "       lorvane --read [--card FILE] [--definitions DIR] [--language NAME] [--json]\n"
         "       lorvane --screenshot FILE.png [--card FILE] [--language NAME]\n"
         "       lorvane --help | --version\n"
         "\n"
         "  --read              read the card once without a window and print it\n"
         "  --card FILE         serve the card from a card image file (.json or Flipper .nfc)\n"
         "  --definitions DIR   take the card definitions from DIR (with --read)\n"
         "  --language NAME     select this language instead of the stored one\n"
         "  --json              print JSON instead of text (with --read)\n"
         "  --screenshot FILE   save the window after one read as a PNG, without a display\n";
}

std::string CardImageNote(const std::filesystem::path& image) {
  return "lorvane: the card shown was read from the card image " + image.string() +
         ", not from a card on a reader\n";
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
  CommandLine command;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!ParseOne(args, i, command, error)) return std::nullopt;
  }
  if (!command.read && (command.definitions || command.json)) {
    error = "--definitions and --json go with --read";
    return std::nullopt;
  }
  if (command.read && command.screenshot) {
    error = "--screenshot does not go with --read";
    return std::nullopt;
  }
  return command;
}

int RunCommandLine(const CommandLine& command, const std::string& executable) {
  if (command.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitRead;
  }
  if (command.version) {
    std::puts("lorvane 1.00");
    return kExitRead;
  }
  ViewerApp app(executable);
  const std::optional<std::u16string> language =
      command.language ? std::optional(platform::U16(*command.language)) : std::nullopt;
  const bool languageOk = app.Start(language);
  if (!languageOk && !command.definitions) {
    std::fprintf(stderr, "%s\n", kLanguageInitializeError);
    return kExitUsage;
  }
  const std::filesystem::path folder = command.definitions
                                           ? std::filesystem::path(*command.definitions)
                                           : app.languages().GetCurrentFolder();
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "lorvane: %s: no such definition folder\n", folder.string().c_str());
    return kExitUsage;
  }
  pluginhost::CommandLineUi ui;
  MainDialogModel model(app, ui);
  if (command.card) {
    std::string error;
    auto image = cardimage::LoadCardImage(*command.card, error);
    if (!image) {
      std::fprintf(stderr, "lorvane: %s\n", error.c_str());
      return kExitUsage;
    }
    model.ServeCardImage(std::move(*image), *command.card);
  } else {
    model.StartHost();
  }
  model.LoadCardDefinitions(folder);
  model.ReadCards();
  const std::vector<CardView> views = model.Views();
  const std::string out = command.json ? FormatReadJson(views) : FormatReadText(views);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (model.shownImage()) std::fputs(CardImageNote(*model.shownImage()).c_str(), stderr);
  if (views.empty() && !command.json)
    std::fputs("lorvane: no card definition read the card\n", stderr);
  return views.empty() ? kExitNotRead : kExitRead;
}

}  // namespace lorvane::app
