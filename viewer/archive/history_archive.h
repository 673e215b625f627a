// SPDX-License-Identifier: MIT
// The history archive: one SQLite database file holding every read of every card (raw card
// data and when it was read). Each store is one transaction in WAL mode, so a program killed
// at any moment leaves the file as it was before or after the store, and two programs storing
// at once both succeed (the second waits up to 5 seconds for the first). Every failure is a
// reason in words; nothing here throws, and a damaged file is never repaired or replaced.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "viewer/archive/stored_read.h"

namespace lorvane::archive {

// How long a store waits for another program's transaction before it gives up.
inline constexpr int kBusyTimeoutMs = 5000;

struct CardSummary {
  Id8 idm{};
  int64_t firstAt = 0;  // the earliest and latest reads, seconds since 1970 UTC
  int64_t lastAt = 0;
};

// The blocks one read holds of one service, in block order.
struct ServiceRead {
  int64_t readId = 0;
  int64_t lastAt = 0;
  std::vector<std::pair<uint16_t, Block>> blocks;
};

class HistoryArchive {
 public:
  ~HistoryArchive();
  HistoryArchive(const HistoryArchive&) = delete;
  HistoryArchive& operator=(const HistoryArchive&) = delete;

  // Opens the archive for storing, creating it (0600, in a folder made 0700) when missing.
  static std::unique_ptr<HistoryArchive> OpenForWriting(const std::filesystem::path& file,
                                                        std::string& error);
  // Opens an existing archive for queries; nullptr with an empty `error` when the file does
  // not exist (an empty archive).
  static std::unique_ptr<HistoryArchive> OpenForReading(const std::filesystem::path& file,
                                                        std::string& error);

  // Adds a read. The same card data again only widens the span of times it was read at.
  bool Store(const StoredRead& read, std::string& error);
  // SQLite's quick integrity check.
  bool Check(std::string& error);
  // Every card, the most recently read first.
  std::optional<std::vector<CardSummary>> Cards(std::string& error);
  // Every read of the card that holds blocks of the service, the oldest read first.
  std::optional<std::vector<ServiceRead>> ServiceReads(const Id8& idm, uint16_t system,
                                                       uint16_t service, std::string& error);
  // The card's latest read with all its data.
  std::optional<StoredRead> LatestRead(const Id8& idm, std::string& error);
  // Removes everything of the card; `found` tells whether there was anything.
  bool Forget(const Id8& idm, bool& found, std::string& error);

 private:
  explicit HistoryArchive(sqlite3* db) : db_(db) {}
  static std::unique_ptr<HistoryArchive> Open(const std::filesystem::path& file, int flags,
                                              std::string& error);
  bool Prepare(std::string& error);
  bool StoreSteps(const StoredRead& read, std::string& error);
  bool Fail(int result, std::string& error) const;
  bool Execute(const char* sql, std::string& error);
  std::string Failure(int code) const;

  sqlite3* db_ = nullptr;
};

// "damaged", "not an SQLite database", ... for an SQLite result code.
std::string ArchiveFailureText(int code, const char* detail);

}  // namespace lorvane::archive
