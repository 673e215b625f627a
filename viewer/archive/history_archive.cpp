// SPDX-License-Identifier: MIT
#include "viewer/archive/history_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace lorvane::archive {
namespace {

namespace fs = std::filesystem;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS reads("
    "  id INTEGER PRIMARY KEY, idm BLOB NOT NULL, pmm BLOB NOT NULL,"
    "  first_at INTEGER NOT NULL, last_at INTEGER NOT NULL, imported INTEGER NOT NULL,"
    "  digest INTEGER NOT NULL UNIQUE);"
    "CREATE INDEX IF NOT EXISTS reads_of_card ON reads(idm, last_at);"
    "CREATE TABLE IF NOT EXISTS systems("
    "  read_id INTEGER NOT NULL REFERENCES reads(id) ON DELETE CASCADE,"
    "  position INTEGER NOT NULL, code INTEGER NOT NULL, idm BLOB NOT NULL,"
    "  PRIMARY KEY(read_id, position)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS blocks("
    "  read_id INTEGER NOT NULL REFERENCES reads(id) ON DELETE CASCADE,"
    "  system INTEGER NOT NULL, service INTEGER NOT NULL, block INTEGER NOT NULL,"
    "  data BLOB NOT NULL, PRIMARY KEY(read_id, system, service, block)) WITHOUT ROWID;";

// One prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    result_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr);
  }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return result_ == SQLITE_OK; }
  int result() const { return result_; }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Statement& Bind(int i, const uint8_t* bytes, size_t n) {
    sqlite3_bind_blob(s_, i, bytes, static_cast<int>(n), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or a failure.
  int Step() { return sqlite3_step(s_); }
  void Reset() { sqlite3_reset(s_); }
  int64_t Int(int column) const { return sqlite3_column_int64(s_, column); }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
    return text != nullptr ? text : "";
  }
  template <size_t N>
  std::array<uint8_t, N> Bytes(int column) const {
    std::array<uint8_t, N> out{};
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(s_, column));
    const auto n = static_cast<size_t>(sqlite3_column_bytes(s_, column));
    if (blob != nullptr) std::memcpy(out.data(), blob, std::min(n, N));
    return out;
  }

 private:
  sqlite3_stmt* s_ = nullptr;
  int result_ = SQLITE_OK;
};

// A missing archive file is made private to the user, in a folder made private too.
std::string CreatePrivate(const fs::path& file) {
  std::error_code ec;
  const fs::path folder = file.parent_path();
  if (!folder.empty() && !fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) return "cannot create the folder " + folder.string() + ": " + ec.message();
    fs::permissions(folder, fs::perms::owner_all, ec);
  }
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 && errno != EEXIST) return std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return {};
}

// Only a regular file is opened: SQLite would block on a FIFO and misread a device.
std::string CheckRegular(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  return {};
}

}  // namespace

std::string ArchiveFailureText(int code, const char* detail) {
  switch (code & 0xFF) {
    case SQLITE_NOTADB:
      return "not an SQLite database";
    case SQLITE_CORRUPT:
      return "damaged (it fails SQLite's integrity check)";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "locked by another program for more than 5 seconds";
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return "read-only";
    case SQLITE_FULL:
      return "the disk is full";
    case SQLITE_CANTOPEN:
      return "cannot be opened";
    default:
      return detail != nullptr && *detail != '\0' ? detail : sqlite3_errstr(code);
  }
}

HistoryArchive::~HistoryArchive() { sqlite3_close_v2(db_); }

std::string HistoryArchive::Failure(int code) const {
  return ArchiveFailureText(code, sqlite3_errmsg(db_));
}

std::unique_ptr<HistoryArchive> HistoryArchive::Open(const fs::path& file, int flags,
                                                     std::string& error) {
  if (error = CheckRegular(file); !error.empty()) return nullptr;
  sqlite3* db = nullptr;
  const int result = sqlite3_open_v2(file.c_str(), &db, flags | SQLITE_OPEN_NOFOLLOW, nullptr);
  if (result != SQLITE_OK) {
    error = ArchiveFailureText(result, db != nullptr ? sqlite3_errmsg(db) : nullptr);
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  auto archive = std::unique_ptr<HistoryArchive>(new HistoryArchive(db));
  if (!archive->Prepare(error)) return nullptr;
  return archive;
}

std::unique_ptr<HistoryArchive> HistoryArchive::OpenForWriting(const fs::path& file,
                                                               std::string& error) {
  if (error = CreatePrivate(file); !error.empty()) return nullptr;
  auto archive = Open(file, SQLITE_OPEN_READWRITE, error);
  if (archive == nullptr) return nullptr;
  if (!archive->Execute("PRAGMA journal_mode=WAL", error) || !archive->Execute(kSchema, error))
    return nullptr;
  return archive;
}

std::unique_ptr<HistoryArchive> HistoryArchive::OpenForReading(const fs::path& file,
                                                               std::string& error) {
  error.clear();
  std::error_code ec;
  if (!fs::exists(file, ec)) return nullptr;
  auto archive = Open(file, SQLITE_OPEN_READWRITE, error);
  if (archive == nullptr) {
    error.clear();
    archive = Open(file, SQLITE_OPEN_READONLY, error);
  }
  return archive;
}

// The first read of the file tells whether it is a database at all.
bool HistoryArchive::Prepare(std::string& error) {
  return Execute("PRAGMA foreign_keys=ON; SELECT count(*) FROM sqlite_master", error);
}

bool HistoryArchive::Execute(const char* sql, std::string& error) {
  char* message = nullptr;
  const int result = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (result != SQLITE_OK) error = ArchiveFailureText(result, message);
  sqlite3_free(message);
  return result == SQLITE_OK;
}

bool HistoryArchive::Check(std::string& error) {
  Statement check(db_, "PRAGMA quick_check");
  if (!check.ok()) {
    error = Failure(check.result());
    return false;
  }
  const int result = check.Step();
  if (result != SQLITE_ROW) {
    error = Failure(result);
    return false;
  }
  if (check.Text(0) != "ok") {
    error = ArchiveFailureText(SQLITE_CORRUPT, nullptr);
    return false;
  }
  return true;
}

bool HistoryArchive::Store(const StoredRead& read, std::string& error) {
  if (!Execute("BEGIN IMMEDIATE", error)) return false;
  if (!StoreSteps(read, error)) {
    std::string ignored;
    Execute("ROLLBACK", ignored);
    return false;
  }
  return Execute("COMMIT", error);
}

// A read already kept (the same card data) only widens its times; a new one is added with
// its systems and blocks.
bool HistoryArchive::StoreSteps(const StoredRead& read, std::string& error) {
  const auto digest = static_cast<int64_t>(read.Digest());
  Statement known(db_,
                  "UPDATE reads SET first_at = min(first_at, ?1), last_at = max(last_at, ?1) "
                  "WHERE digest = ?2");
  known.Bind(1, read.readAt).Bind(2, digest);
  if (const int result = known.Step(); result != SQLITE_DONE) return Fail(result, error);
  if (sqlite3_changes(db_) > 0) return true;
  Statement add(db_,
                "INSERT INTO reads(idm, pmm, first_at, last_at, imported, digest) "
                "VALUES(?1, ?2, ?3, ?3, ?4, ?5)");
  add.Bind(1, read.idm.data(), read.idm.size()).Bind(2, read.pmm.data(), read.pmm.size());
  add.Bind(3, read.readAt).Bind(4, read.imported ? 1 : 0).Bind(5, digest);
  if (const int result = add.Step(); result != SQLITE_DONE) return Fail(result, error);
  const int64_t id = sqlite3_last_insert_rowid(db_);
  Statement system(db_, "INSERT INTO systems(read_id, position, code, idm) VALUES(?1, ?2, ?3, ?4)");
  for (size_t i = 0; i < read.systems.size(); ++i) {
    system.Reset();
    system.Bind(1, id).Bind(2, static_cast<int64_t>(i)).Bind(3, read.systems[i].code);
    system.Bind(4, read.systems[i].idm.data(), read.systems[i].idm.size());
    if (const int result = system.Step(); result != SQLITE_DONE) return Fail(result, error);
  }
  Statement block(db_,
                  "INSERT OR REPLACE INTO blocks(read_id, system, service, block, data) "
                  "VALUES(?1, ?2, ?3, ?4, ?5)");
  for (const StoredBlock& b : read.blocks) {
    block.Reset();
    block.Bind(1, id).Bind(2, b.system).Bind(3, b.service).Bind(4, b.number);
    block.Bind(5, b.data.data(), b.data.size());
    if (const int result = block.Step(); result != SQLITE_DONE) return Fail(result, error);
  }
  return true;
}

bool HistoryArchive::Fail(int result, std::string& error) const {
  error = Failure(result);
  return false;
}

std::optional<std::vector<CardSummary>> HistoryArchive::Cards(std::string& error) {
  Statement cards(db_,
                  "SELECT idm, min(first_at), max(last_at) FROM reads GROUP BY idm "
                  "ORDER BY max(last_at) DESC, idm");
  if (!cards.ok()) return Fail(cards.result(), error), std::nullopt;
  std::vector<CardSummary> list;
  int result;
  while ((result = cards.Step()) == SQLITE_ROW)
    list.push_back({cards.Bytes<8>(0), cards.Int(1), cards.Int(2)});
  if (result != SQLITE_DONE) return Fail(result, error), std::nullopt;
  return list;
}

std::optional<std::vector<ServiceRead>> HistoryArchive::ServiceReads(const Id8& idm,
                                                                     uint16_t system,
                                                                     uint16_t service,
                                                                     std::string& error) {
  Statement query(db_,
                  "SELECT r.id, r.last_at, b.block, b.data FROM reads r "
                  "JOIN blocks b ON b.read_id = r.id "
                  "WHERE r.idm = ?1 AND b.system = ?2 AND b.service = ?3 "
                  "ORDER BY r.first_at, r.id, b.block");
  if (!query.ok()) return Fail(query.result(), error), std::nullopt;
  query.Bind(1, idm.data(), idm.size()).Bind(2, system).Bind(3, service);
  std::vector<ServiceRead> reads;
  int result;
  while ((result = query.Step()) == SQLITE_ROW) {
    if (reads.empty() || reads.back().readId != query.Int(0))
      reads.push_back({query.Int(0), query.Int(1), {}});
    reads.back().blocks.emplace_back(static_cast<uint16_t>(query.Int(2)), query.Bytes<16>(3));
  }
  if (result != SQLITE_DONE) return Fail(result, error), std::nullopt;
  return reads;
}

std::optional<StoredRead> HistoryArchive::LatestRead(const Id8& idm, std::string& error) {
  Statement latest(db_,
                   "SELECT id, pmm, last_at, imported FROM reads WHERE idm = ?1 "
                   "ORDER BY last_at DESC, id DESC LIMIT 1");
  if (!latest.ok()) return Fail(latest.result(), error), std::nullopt;
  latest.Bind(1, idm.data(), idm.size());
  const int found = latest.Step();
  if (found == SQLITE_DONE) return StoredRead{};
  if (found != SQLITE_ROW) return Fail(found, error), std::nullopt;
  StoredRead read;
  read.idm = idm;
  read.pmm = latest.Bytes<8>(1);
  read.readAt = latest.Int(2);
  read.imported = latest.Int(3) != 0;
  const int64_t id = latest.Int(0);
  Statement systems(db_, "SELECT code, idm FROM systems WHERE read_id = ?1 ORDER BY position");
  systems.Bind(1, id);
  while (systems.Step() == SQLITE_ROW)
    read.systems.push_back({static_cast<uint16_t>(systems.Int(0)), systems.Bytes<8>(1)});
  Statement blocks(db_, "SELECT system, service, block, data FROM blocks WHERE read_id = ?1");
  blocks.Bind(1, id);
  int result;
  while ((result = blocks.Step()) == SQLITE_ROW) {
    read.blocks.push_back({static_cast<uint16_t>(blocks.Int(0)),
                           static_cast<uint16_t>(blocks.Int(1)),
                           static_cast<uint16_t>(blocks.Int(2)), blocks.Bytes<16>(3)});
  }
  if (result != SQLITE_DONE) return Fail(result, error), std::nullopt;
  return read;
}

bool HistoryArchive::Forget(const Id8& idm, bool& found, std::string& error) {
  found = false;
  if (!Execute("BEGIN IMMEDIATE", error)) return false;
  Statement forget(db_, "DELETE FROM reads WHERE idm = ?1");
  forget.Bind(1, idm.data(), idm.size());
  const int result = forget.Step();
  if (result != SQLITE_DONE) {
    std::string ignored;
    Execute("ROLLBACK", ignored);
    return Fail(result, error);
  }
  found = sqlite3_changes(db_) > 0;
  return Execute("COMMIT", error);
}

}  // namespace lorvane::archive
