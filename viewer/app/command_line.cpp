#include "viewer/app/command_line.h"

#include <cstdio>
#include <iostream>

#include "cardimage/card_image_reader.h"
#include "platform/text_codec.h"
#include "viewer/app/card_read_session.h"
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

int PrintUsageError(const std::string& error) {
  std::fprintf(stderr, "lorvane: %s\n%s", error.c_str(), UsageText().c_str());
  return kExitUsage;
}

}  // namespace

std::string UsageText() {
  return "usage: lorvane                       open the viewer window\n"
         "       lorvane --read [--card FILE] [--definitions DIR] [--language NAME] [--json]\n"
         "       lorvane --help | --version\n"
         "\n"
         "  --read              read the card once without a window and print it\n"
         "  --card FILE         serve the card from a card image file (.json or Flipper .nfc)\n"
         "  --definitions DIR   take the card definitions from DIR\n"
         "  --language NAME     select this language instead of the stored one\n"
         "  --json              print JSON instead of text\n";
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
  CommandLine command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto is = [&](const char* name) {
      return arg == name || arg.rfind(std::string(name) + "=", 0) == 0;
    };
    bool ok = true;
    if (arg == "--read") {
      command.read = true;
    } else if (arg == "--json") {
      command.json = true;
    } else if (arg == "--help" || arg == "-h") {
      command.help = true;
    } else if (arg == "--version") {
      command.version = true;
    } else if (is("--card")) {
      ok = TakeValue(args, i, "--card", command.card, error);
    } else if (is("--definitions")) {
      ok = TakeValue(args, i, "--definitions", command.definitions, error);
    } else if (is("--language")) {
      ok = TakeValue(args, i, "--language", command.language, error);
    } else {
      error = "unknown argument \"" + arg + "\"";
      ok = false;
    }
    if (!ok) return std::nullopt;
  }
  if (!command.read && !command.help && !command.version &&
      (command.card || command.definitions || command.json || command.language)) {
    error = "--card, --definitions, --language and --json go with --read";
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
  if (!command.card) {
    return PrintUsageError(
        "reading through reader plug-ins is not available in this build; use --card FILE");
  }
  ViewerApp app(executable);
  const std::optional<std::u16string> language =
      command.language ? std::optional(platform::U16(*command.language)) : std::nullopt;
  const bool languageOk = app.Start(language);
  if (!languageOk && !command.definitions) {
    std::fprintf(stderr, "%s\n", kLanguageInitializeError);
    return kExitUsage;
  }
  std::filesystem::path folder = command.definitions ? std::filesystem::path(*command.definitions)
                                                     : app.languages().GetCurrentFolder();
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "lorvane: %s: no such definition folder\n", folder.string().c_str());
    return kExitUsage;
  }
  std::string error;
  auto image = cardimage::LoadCardImage(*command.card, error);
  if (!image) {
    std::fprintf(stderr, "lorvane: %s\n", error.c_str());
    return kExitUsage;
  }
  const CardDefinitions definitions = LoadCardDefinitions(folder);
  cardimage::CardImageReader reader(std::move(*image));
  std::vector<CardView> views;
  for (const auto* definition : ReadCards(reader, definitions))
    views.push_back(ViewOf(*definition));
  const std::string out = command.json ? FormatReadJson(views) : FormatReadText(views);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (views.empty() && !command.json)
    std::fputs("lorvane: no card definition read the card\n", stderr);
  return views.empty() ? kExitNotRead : kExitRead;
}

}  // namespace lorvane::app
