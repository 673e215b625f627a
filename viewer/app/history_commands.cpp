// SPDX-License-Identifier: MIT
#include "viewer/app/history_commands.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "cardimage/card_image.h"
#include "platform/file_problems.h"
#include "platform/text_codec.h"
#include "viewer/app/card_read_session.h"
#include "viewer/app/viewer_app.h"
#include "viewer/archive/history_csv.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using archive::CardHistory;
using archive::HistoryArchive;
using platform::U8;

std::string HexIdm(const archive::Id8& idm) { return cardimage::HexBytes(idm.data(), idm.size()); }

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int ArchiveProblem(const fs::path& file, const std::string& reason) {
  std::fprintf(stderr, "lorvane: history archive %s: %s\n", file.string().c_str(), reason.c_str());
  return kExitUsage;
}

std::vector<carddef::CardDefinition*> Pointers(const CardDefinitions& definitions) {
  std::vector<carddef::CardDefinition*> list;
  for (const auto& definition : definitions) list.push_back(definition.get());
  return list;
}

// A card image file's modification time, seconds since 1970.
int64_t ModifiedAt(const fs::path& file) {
  std::error_code ec;
  const auto time = fs::last_write_time(file, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

fs::path ArchiveFile(const CommandLine& command, const ViewerApp& app) {
  return command.archive ? fs::path(*command.archive) : app.paths().historyFile;
}

std::function<void(const archive::StoredRead&)> ArchiverFor(const fs::path& file) {
  return [file](const archive::StoredRead& read) {
    std::string error;
    auto archive = HistoryArchive::OpenForWriting(file, error);
    if (archive != nullptr) archive->Store(read, error);
    if (!error.empty())
      platform::ReportFileProblem(file, error + "; this read was not kept in the history archive");
  };
}

std::optional<archive::Id8> ParseCardId(const std::string& text) {
  const auto bytes = cardimage::ParseHexBytes(text);
  if (!bytes || bytes->size() != 8) return std::nullopt;
  archive::Id8 idm{};
  std::copy(bytes->begin(), bytes->end(), idm.begin());
  return idm;
}

std::string IsoTime(int64_t secondsSince1970) {
  const auto time = static_cast<std::time_t>(secondsSince1970);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string HistoriesText(const std::vector<CardHistory>& histories) {
  std::string out;
  for (const CardHistory& history : histories) {
    if (!out.empty()) out += "\n";
    out += U8(history.name) + "\n" + U8(history.idmLine) + "\n";
    if (!history.title.empty()) out += U8(history.title) + "\n";
    for (const carddef::DecodedRow& row : history.rows) out += U8(row.line) + "\n";
  }
  return out;
}

std::string HistoriesJson(const std::vector<CardHistory>& histories) {
  nlohmann::ordered_json cards = nlohmann::ordered_json::array();
  for (const CardHistory& history : histories) {
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const carddef::DecodedRow& row : history.rows) lines.push_back(U8(row.line));
    cards.push_back({{"idm", HexIdm(history.idm)},
                     {"name", U8(history.name)},
                     {"title", U8(history.title)},
                     {"history", lines},
                     {"records", history.rows.size()},
                     {"first_read", IsoTime(history.firstAt)},
                     {"last_read", IsoTime(history.lastAt)}});
  }
  return nlohmann::ordered_json{{"cards", cards}}.dump(2) + "\n";
}

std::vector<CardHistory> HistoriesOfRead(const std::vector<carddef::CardDefinition*>& read) {
  std::vector<CardHistory> histories;
  for (const carddef::CardDefinition* definition : read) {
    if (!definition->historySource()) continue;
    CardHistory history;
    if (const uint8_t* idm = definition->GetIDm(); idm != nullptr)
      std::copy(idm, idm + history.idm.size(), history.idm.begin());
    history.name = definition->GetCardName();
    history.columns = definition->HistoryColumns();
    const auto& rows = definition->HistoryRows();
    history.rows.assign(rows.begin(),
                        rows.begin() + std::min<size_t>(rows.size(), kMaxHistoryLines));
    histories.push_back(std::move(history));
  }
  return histories;
}

int RunHistory(const CommandLine& command, ViewerApp& app, const CardDefinitions& definitions) {
  const fs::path file = ArchiveFile(command, app);
  std::optional<archive::Id8> only;
  if (command.cardId) only = ParseCardId(*command.cardId);
  std::string error;
  auto archive = HistoryArchive::OpenForReading(file, error);
  if (archive == nullptr && !error.empty()) return ArchiveProblem(file, error);
  if (archive != nullptr && !archive->Check(error)) return ArchiveProblem(file, error);
  std::vector<CardHistory> histories;
  if (archive != nullptr) {
    auto loaded = archive::LoadCardHistories(*archive, Pointers(definitions), only, error);
    if (!loaded) return ArchiveProblem(file, error);
    histories = std::move(*loaded);
  }
  if (command.csv) {
    Print(archive::HistoriesCsv(histories));
  } else {
    Print(command.json ? HistoriesJson(histories) : HistoriesText(histories));
  }
  if (histories.empty()) {
    const auto cards = archive != nullptr ? archive->Cards(error) : std::nullopt;
    const bool undecoded = !only && cards && !cards->empty();
    std::fprintf(stderr, "lorvane: the history archive %s %s\n", file.string().c_str(),
                 undecoded ? "holds cards, but no card definition reads them"
                 : only    ? ("holds no card " + HexIdm(*only)).c_str()
                           : "holds no card");
    return kExitNoCardArchived;
  }
  return kExitHistoryShown;
}

int RunHistoryImport(const CommandLine& command, ViewerApp& app) {
  const fs::path file = ArchiveFile(command, app);
  std::string error;
  auto archive = HistoryArchive::OpenForWriting(file, error);
  if (archive == nullptr) return ArchiveProblem(file, error);
  for (const std::string& name : command.historyImport) {
    auto image = cardimage::LoadCardImage(name, error);
    if (!image) {
      std::fprintf(stderr, "lorvane: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!archive->Store(archive::FromCardImage(*image, ModifiedAt(name)), error))
      return ArchiveProblem(file, error + " (while importing " + name + ")");
  }
  return kExitRead;
}

int RunHistoryForget(const CommandLine& command, ViewerApp& app) {
  const fs::path file = ArchiveFile(command, app);
  const auto idm = ParseCardId(*command.historyForget);
  std::string error;
  auto archive = HistoryArchive::OpenForReading(file, error);
  if (archive == nullptr && !error.empty()) return ArchiveProblem(file, error);
  bool found = false;
  if (archive != nullptr && !archive->Forget(*idm, found, error))
    return ArchiveProblem(file, error);
  if (!found) {
    std::fprintf(stderr, "lorvane: the history archive %s holds no card %s\n",
                 file.string().c_str(), HexIdm(*idm).c_str());
    return kExitNoCardArchived;
  }
  return kExitRead;
}

}  // namespace lorvane::app
