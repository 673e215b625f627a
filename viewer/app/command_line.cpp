#include "viewer/app/command_line.h"

#include <cstdio>
#include <iostream>

#include "cardimage/card_image_reader.h"
#include "platform/text_codec.h"
#include "viewer/app/card_read_session.h"
#include "viewer/app/read_output.h"
#include "viewer/app/viewer_app.h"
#include "viewer/pluginhost/felica_dll_host.h"

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

std::vector<CardView> ReadOnce(carddef::CardReader& reader,
                               const std::filesystem::path& definitionFolder) {
  const CardDefinitions definitions = LoadCardDefinitions(definitionFolder);
  std::vector<CardView> views;
  for (const auto* definition : ReadCards(reader, definitions))
    views.push_back(ViewOf(*definition));
  return views;
}

// As the main dialog does: the host starts on the program folder, the definitions read the
// card through the plug-in that answered, and the host's end writes its registry file.
std::vector<CardView> ReadThroughPlugins(const std::filesystem::path& programFolder,
                                         const std::filesystem::path& definitionFolder) {
  pluginhost::CommandLineUi ui;
  pluginhost::FeliCaDLLHost host(ui, programFolder);
  host.ChangeFolder(platform::U16(programFolder.string() + "/"));
  host.Start();
  pluginhost::HostCardReader reader(host);
  return ReadOnce(reader, definitionFolder);
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
  std::vector<CardView> views;
  if (command.card) {
    std::string error;
    auto image = cardimage::LoadCardImage(*command.card, error);
    if (!image) {
      std::fprintf(stderr, "lorvane: %s\n", error.c_str());
      return kExitUsage;
    }
    cardimage::CardImageReader reader(std::move(*image));
    views = ReadOnce(reader, folder);
  } else {
    views = ReadThroughPlugins(app.paths().folder, folder);
  }
  const std::string out = command.json ? FormatReadJson(views) : FormatReadText(views);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (views.empty() && !command.json)
    std::fputs("lorvane: no card definition read the card\n", stderr);
  return views.empty() ? kExitNotRead : kExitRead;
}

}  // namespace lorvane::app
