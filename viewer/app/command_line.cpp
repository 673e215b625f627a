// SPDX-License-Identifier: MIT
#include "viewer/app/command_line.h"

#include <cstdio>
#include <cstdlib>

#include "build_info.h"
#include "cardimage/card_image.h"
#include "pellix/pcsc_call_bound.h"
#include "pellix/reader_names.h"
#include "platform/safe_format.h"
#include "platform/text_codec.h"
#include "plugin-api/felica_plugin.h"
#include "viewer/app/history_commands.h"
#include "viewer/app/main_dialog_model.h"
#include "viewer/app/read_output.h"
#include "viewer/app/viewer_app.h"
#include "viewer/archive/history_csv.h"
#include "viewer/readercheck/kernel_nfc_drivers.h"
#include "viewer/readercheck/pcsc_service.h"
#include "viewer/readercheck/reader_check.h"

namespace lorvane::app {
namespace {

constexpr char kBundledSampleName[] = "sample-transit.json";

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
  } else if (arg == "--verbose") {
    command.verbose = true;
  } else if (arg == "--check-reader") {
    command.checkReader = true;
  } else if (arg == "--history") {
    command.history = true;
  } else if (arg == "--csv") {
    command.csv = true;
  } else if (arg == "--no-archive") {
    command.noArchive = true;
  } else if (arg == "--history-import") {
    while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0)
      command.historyImport.push_back(args[++i]);
    if (command.historyImport.empty()) {
      error = "--history-import needs at least one card image file";
      return false;
    }
  } else if (is("--history-forget")) {
    return TakeValue(args, i, "--history-forget", command.historyForget, error);
  } else if (is("--card-id")) {
    return TakeValue(args, i, "--card-id", command.cardId, error);
  } else if (is("--archive")) {
    return TakeValue(args, i, "--archive", command.archive, error);
  } else if (is("--card")) {
    return TakeValue(args, i, "--card", command.card, error);
  } else if (is("--definitions")) {
    return TakeValue(args, i, "--definitions", command.definitions, error);
  } else if (is("--language")) {
    return TakeValue(args, i, "--language", command.language, error);
  } else if (is("--screenshot")) {
    return TakeValue(args, i, "--screenshot", command.screenshot, error);
  } else if (is("--dump")) {
    return TakeValue(args, i, "--dump", command.dump, error);
  } else {
    error = "unknown argument \"" + arg + "\"";
    return false;
  }
  return true;
}

bool ValidHistoryOptions(const CommandLine& command, std::string& error) {
  const int historyCommands = (command.history ? 1 : 0) + (command.historyImport.empty() ? 0 : 1) +
                              (command.historyForget ? 1 : 0);
  if (historyCommands > 1 ||
      (historyCommands == 1 &&
       (command.read || command.dump || command.checkReader || command.screenshot))) {
    error = "--history, --history-import and --history-forget go with no other command";
  } else if (command.csv && !command.read && !command.history) {
    error = "--csv goes with --read or --history";
  } else if (command.csv && command.json) {
    error = "--csv and --json do not go together";
  } else if (command.cardId && !command.history) {
    error = "--card-id goes with --history";
  } else if (command.cardId && !ParseCardId(*command.cardId)) {
    error = "--card-id takes an IDm of 16 hexadecimal digits";
  } else if (command.historyForget && !ParseCardId(*command.historyForget)) {
    error = "--history-forget takes an IDm of 16 hexadecimal digits";
  } else {
    return true;
  }
  return false;
}

// The languages, with the stored or asked-for one selected. False (with the messages
// printed) when none can be loaded and no definition folder was given instead.
bool StartLanguages(ViewerApp& app, const CommandLine& command) {
  const std::optional<std::u16string> language =
      command.language ? std::optional(platform::U16(*command.language)) : std::nullopt;
  if (!app.Start(language)) {
    std::fprintf(stderr, "%s\n%s\n", kLanguageInitializeError, app.LanguageErrorDetail().c_str());
    return command.definitions.has_value();
  }
  if (language) {
    const std::string warning = app.LanguageFallbackWarning(*language);
    if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
  }
  return true;
}

// The card image of --card served instead of the plug-ins, else the plug-in host started.
bool ServeCard(MainDialogModel& model, const CommandLine& command) {
  if (!command.card) {
    model.StartHost();
    return true;
  }
  std::string error;
  auto image = cardimage::LoadCardImage(*command.card, error);
  if (!image) {
    std::fprintf(stderr, "lorvane: %s\n", error.c_str());
    return false;
  }
  model.ServeCardImage(std::move(*image), *command.card);
  return true;
}

// Why each plug-in gave no reader, from what it answered the probe.
std::string ProbeAnswer(const pluginhost::ProbeOutcome& outcome) {
  switch (outcome.initialize) {
    case FELICA_E_NO_CONTEXT:
      if (const std::string problem = readercheck::ServiceProblem(readercheck::EstablishResult());
          !problem.empty())
        return problem;
      return "could not reach the PC/SC service";
    case FELICA_E_LIST_READERS:
      return "no reader found";
    default:
      break;
  }
  if (outcome.initialize < 0)
    return "could not start (status " + std::to_string(outcome.initialize) + ")";
  const int16_t open = outcome.open.value_or(0);
  const std::string opened = "its reader did not open (status " + std::to_string(open) + ")";
  switch (open) {
    case FELICA_E_TRANSMIT:
      return opened +
             ": the reader refused every command; unplug it and plug it in again, and if "
             "that does not help, run lorvane --check-reader";
    default:
      return opened;
  }
}

// A line for each plug-in that gave no reader, with why.
std::string PluginAnswers(pluginhost::FeliCaDLLHost& host) {
  std::string text;
  for (const pluginhost::ProbeOutcome& outcome : host.probeOutcomes()) {
    const bool answered = outcome.initialize >= 0 && outcome.open &&
                          (*outcome.open == FELICA_OK || *outcome.open == FELICA_ALREADY_OPEN);
    if (!answered)
      text += "\n  " + platform::U8(host.GetName(outcome.plugin)) + ": " + ProbeAnswer(outcome);
  }
  return text;
}

std::string NoReaderAnswered(MainDialogModel& model) {
  pluginhost::FeliCaDLLHost& host = model.host();
  if (host.GetCount() == 0)
    return "no reader plug-in was found in " + platform::U8(host.GetFolder());
  std::string text = "no reader plug-in answered" + PluginAnswers(host);
  if (const char* image = std::getenv("LORVANE_CARD_IMAGE"); image != nullptr && *image) {
    std::string error;
    if (!cardimage::LoadCardImage(image, error))
      text += "\n  the card image LORVANE_CARD_IMAGE names was refused: " + error;
  }
  return text;
}

// Whether the card-image plug-in serves the sample card bundled with the program (it does
// when no reader answered): no card of the user's.
bool ServesBundledSample(MainDialogModel& model) {
  model.host().ReaderInitialize(0);  // its reader entries name the image
  const auto image = model.ImageServedByHost();
  std::error_code ec;
  return image && image->filename() == kBundledSampleName &&
         std::filesystem::equivalent(
             *image, model.app().paths().dataFolder / "samples" / kBundledSampleName, ec);
}

void PrintProgress(const std::string& line) { std::fprintf(stderr, "lorvane: %s\n", line.c_str()); }

// --dump: the card on the reader, or the image of --card, saved as a card image.
int RunDump(const CommandLine& command, ViewerApp& app) {
  pluginhost::CommandLineUi ui(command.verbose);
  MainDialogModel model(app, ui);
  if (!ServeCard(model, command)) return kExitUsage;
  if (!command.noArchive) model.SetArchiver(ArchiverFor(ArchiveFile(command, app)));
  if (!model.servesCardImage() && model.host().GetCurrentFunction() < 0) {
    std::fprintf(stderr, "lorvane: nothing was saved: %s\n", NoReaderAnswered(model).c_str());
    return kExitNotDumped;
  }
  if (!model.servesCardImage() && ServesBundledSample(model)) {
    std::fprintf(stderr,
                 "lorvane: nothing was saved: no card on a reader (no reader answered, and the "
                 "bundled sample card is not saved as yours)%s\n",
                 PluginAnswers(model.host()).c_str());
    return kExitNotDumped;
  }
  const SaveOutcome saved = model.SaveCardImage(*command.dump, PrintProgress);
  if (saved.result == SaveOutcome::kFileError) {
    std::fprintf(stderr, "lorvane: %s\n", saved.reason.c_str());
    return kExitUsage;
  }
  if (saved.result == SaveOutcome::kNoCard) {
    std::fprintf(stderr, "lorvane: nothing was saved: %s\n", saved.reason.c_str());
    return kExitNotDumped;
  }
  if (!model.servesCardImage()) {
    if (const auto image = model.ImageServedByHost()) {
      std::fprintf(stderr,
                   "lorvane: the card saved was read from the card image %s, not from a "
                   "card on a reader\n",
                   image->string().c_str());
    }
  }
  std::fprintf(stderr, "lorvane: saved %s\n", command.dump->c_str());
  return kExitDumped;
}

// A PC/SC service that stopped answering made the plug-ins give up on it: whatever was
// shown instead (the bundled sample), the user is told, with how to restart it.
int TellingAHungService(int status) {
  if (pellix::PcscServiceHung())
    std::fprintf(stderr, "lorvane: %s\n", readercheck::ServiceProblem(SCARD_E_TIMEOUT).c_str());
  return status;
}

int RunRead(const CommandLine& command, ViewerApp& app);

// --check-reader: the set-up, step by step, on standard output.
int RunCheckReader(const CommandLine& command, ViewerApp& app) {
  const readercheck::PcscSurvey survey = readercheck::SurveyPcsc();
  pluginhost::CommandLineUi ui(command.verbose);
  MainDialogModel model(app, ui);
  model.StartHost();
  const readercheck::PellixView pellix = readercheck::AskPellix(model.host());
  readercheck::OtherReadersView others;
  others.pluginFound = readercheck::HasPlugin(model.host(), u"pcscfelica.so");
  others.verbose = command.verbose;
  for (const readercheck::SurveyedReader& reader : survey.readers) {
    if (others.pluginFound && !pellix::IsAcr122Reader(reader.name))
      others.probes.push_back(readercheck::ProbeFeliCaReader(reader.name));
  }
  const readercheck::CheckReport report =
      readercheck::CheckReaders(survey, pellix, readercheck::LoadedNfcDrivers(), others);
  for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
  return report.usable ? kExitReaderUsable : kExitNoUsableReader;
}

}  // namespace

std::string WhyNothingWasRead(MainDialogModel& model, const std::filesystem::path& folder) {
  const ReadOutcome& outcome = model.lastOutcome();
  if (model.definitions().empty()) return "there is no card definition in " + folder.string();
  if (!model.servesCardImage() && model.host().GetCurrentFunction() < 0)
    return NoReaderAnswered(model);
  if (outcome.cardsFound > 0 || outcome.unrecognisedCard)
    return "the card was read, but no card definition recognised it";
  if (model.servesCardImage())
    return "the card image holds none of the systems the card definitions look for";
  if (outcome.pollFailure)
    return "the reader failed while looking for a card (status " +
           std::to_string(*outcome.pollFailure) + ")";
  if (outcome.noCard > 0) return "no card on the reader";
  return "no card definition read the card";
}

std::string UsageText() {
  return "usage: lorvane [--card FILE] [--language NAME]   open the viewer window\n"
         "       lorvane --read [--card FILE] [--definitions DIR] [--language NAME] [--json]\n"
         "              [--verbose]\n"
         "       lorvane --dump FILE [--card FILE] [--verbose]\n"
         "       lorvane --screenshot FILE.png [--card FILE] [--language NAME]\n"
         "       lorvane --check-reader [--verbose]\n"
         "       lorvane --history [--card-id IDM] [--json | --csv] [--language NAME]\n"
         "              [--definitions DIR] [--archive FILE]\n"
         "       lorvane --history-import FILE... [--archive FILE]\n"
         "       lorvane --history-forget IDM [--archive FILE]\n"
         "       lorvane --help | --version\n"
         "\n"
         "  --read              read the card once without a window and print it\n"
         "  --card FILE         serve the card from a card image file (.json or Flipper .nfc)\n"
         "  --definitions DIR   take the card definitions from DIR (with --read)\n"
         "  --language NAME     select this language instead of the stored one\n"
         "  --json              print JSON instead of text (with --read)\n"
         "  --dump FILE         save everything the card on the reader shows without a key as\n"
         "                      a card image (with --card: that image, in the native form)\n"
         "  --screenshot FILE   save the window after one read as a PNG, without a display\n"
         "  --verbose           with --read or --dump: say which plug-ins were found, why any\n"
         "                      failed to load, what the probe found and which reader was used\n"
         "  --check-reader      check the reader set-up, say what works and how to fix what\n"
         "                      does not; exit 0 when a usable reader was found\n"
         "  --csv               print the history records as CSV (with --read or --history)\n"
         "  --history           print every record of the history archive, per card\n"
         "  --card-id IDM       with --history: only the card with this IDm\n"
         "  --history-import FILE...  add card images to the history archive\n"
         "  --history-forget IDM      remove a card from the history archive\n"
         "  --archive FILE      use FILE as the history archive\n"
         "  --no-archive        keep nothing of this read in the history archive\n";
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
  if (!command.read && !command.history && (command.definitions || command.json)) {
    error = "--definitions and --json go with --read or --history";
    return std::nullopt;
  }
  if (!ValidHistoryOptions(command, error)) return std::nullopt;
  if (command.read && command.screenshot) {
    error = "--screenshot does not go with --read";
    return std::nullopt;
  }
  if (command.dump && (command.read || command.screenshot)) {
    error = "--dump goes with neither --read nor --screenshot";
    return std::nullopt;
  }
  if (command.checkReader && (command.read || command.dump || command.screenshot || command.card)) {
    error = "--check-reader goes with no other command";
    return std::nullopt;
  }
  if (command.verbose && !command.read && !command.dump && !command.checkReader) {
    error = "--verbose goes with --read, --dump or --check-reader";
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
    std::puts("lorvane " LORVANE_VERSION_TEXT);
    return kExitRead;
  }
  ViewerApp app(executable);
  if (command.dump) return TellingAHungService(RunDump(command, app));
  if (command.checkReader) return RunCheckReader(command, app);
  if (!command.historyImport.empty()) return RunHistoryImport(command, app);
  if (command.historyForget) return RunHistoryForget(command, app);
  return TellingAHungService(RunRead(command, app));
}

namespace {

int RunRead(const CommandLine& command, ViewerApp& app) {
  if (!StartLanguages(app, command)) return kExitUsage;
  const std::filesystem::path folder = command.definitions
                                           ? std::filesystem::path(*command.definitions)
                                           : app.languages().GetCurrentFolder();
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "lorvane: %s: no such definition folder\n", folder.string().c_str());
    return kExitUsage;
  }
  // Lines are padded by display columns, as the window shows them; a CSV export keeps each
  // item's own text.
  const platform::WidthUnit unit =
      command.csv ? platform::WidthUnit::kCodeUnits : platform::WidthUnit::kTerminalColumns;
  if (command.history) return RunHistory(command, app, LoadCardDefinitions(folder, unit));
  pluginhost::CommandLineUi ui(command.verbose);
  MainDialogModel model(app, ui);
  if (!ServeCard(model, command)) return kExitUsage;
  if (!command.noArchive) model.SetArchiver(ArchiverFor(ArchiveFile(command, app)));
  model.LoadCardDefinitions(folder, unit);
  model.ReadCards();
  const std::vector<CardView> views = model.Views();
  const std::string out = command.csv    ? archive::HistoriesCsv(HistoriesOfRead(model.readList()))
                          : command.json ? FormatReadJson(views)
                                         : FormatReadText(views);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (model.shownImage()) std::fputs(CardImageNote(*model.shownImage()).c_str(), stderr);
  if (model.shownImage() && model.shownImage()->filename() == kBundledSampleName &&
      !model.servesCardImage()) {
    const std::string answers = PluginAnswers(model.host());
    if (!answers.empty()) std::fprintf(stderr, "lorvane: no reader answered:%s\n", answers.c_str());
  }
  if (views.empty())
    std::fprintf(stderr, "lorvane: %s\n", WhyNothingWasRead(model, folder).c_str());
  return views.empty() ? kExitNotRead : kExitRead;
}

}  // namespace
}  // namespace lorvane::app
