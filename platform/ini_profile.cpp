// SPDX-License-Identifier: MIT
#include "platform/ini_profile.h"

#include <sys/stat.h>

#include <list>
#include <memory>
#include <utility>

#include "platform/file_io.h"
#include "platform/file_problems.h"
#include "platform/ini_document.h"
#include "platform/text_codec.h"

namespace lorvane::platform {
namespace {

constexpr std::u16string_view kSpace = u" ";
constexpr size_t kCachedFiles = 8;

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOf(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct CachedFile {
  std::filesystem::path path;
  FileStamp stamp;
  std::shared_ptr<const IniDocument> document;
};

std::list<CachedFile>& Cache() {
  static std::list<CachedFile> cache;
  return cache;
}

// The file's bytes; a file that exists but cannot be read is reported.
std::optional<std::string> ReadIniFile(const std::filesystem::path& file, bool& unreadable) {
  FileRead read = ReadRegularFile(file);
  unreadable = !read.bytes && !read.missing;
  if (unreadable) ReportFileProblem(file, "cannot be read: " + read.reason);
  return std::move(read.bytes);
}

// The parsed file, or null when it does not exist or cannot be read.
std::shared_ptr<const IniDocument> LoadDocument(const std::filesystem::path& file) {
  const auto stamp = StampOf(file);
  bool unreadable = false;
  if (!stamp) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) ReadIniFile(file, unreadable);  // not a regular file
    return nullptr;
  }
  auto& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->path != file) continue;
    if (it->stamp == *stamp) {
      cache.splice(cache.begin(), cache, it);
      return it->document;
    }
    cache.erase(it);
    break;
  }
  const auto bytes = ReadIniFile(file, unreadable);
  if (!bytes) return nullptr;
  auto document = std::make_shared<const IniDocument>(IniDocument::Parse(*bytes));
  cache.push_front(CachedFile{file, *stamp, document});
  if (cache.size() > kCachedFiles) cache.pop_back();
  return document;
}

void Forget(const std::filesystem::path& file) {
  Cache().remove_if([&](const CachedFile& entry) { return entry.path == file; });
}

std::optional<std::u16string> FindIn(const IniDocument* document, std::u16string_view section,
                                     std::u16string_view key) {
  if (document == nullptr) return std::nullopt;
  return document->Find(Trim(section, kSpace), Trim(key, kSpace));
}

std::optional<std::u16string> FindValue(std::u16string_view section, std::u16string_view key,
                                        const std::filesystem::path& file) {
  return FindIn(LoadDocument(file).get(), section, key);
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

uint32_t ParseProfileInt(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] <= 0x20) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == u'0') {
    const char16_t p = text[i + 1];
    base = p == u'x' ? 16 : p == u'o' ? 8 : p == u'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || static_cast<uint32_t>(digit) >= base) break;
    value = value * base + static_cast<uint32_t>(digit);
  }
  return negative ? 0u - value : value;
}

std::u16string StringOrDefault(std::optional<std::u16string> found,
                               std::u16string_view defaultValue, size_t maxChars) {
  std::u16string value;
  if (found) {
    value = std::move(*found);
  } else {
    value = StripOuterQuotes(TrimRight(defaultValue, kSpace));
  }
  if (value.size() > maxChars) value.resize(maxChars);
  return value;
}

uint32_t IntOrDefault(const std::optional<std::u16string>& found, int32_t defaultValue) {
  if (!found || found->empty()) return static_cast<uint32_t>(defaultValue);
  return ParseProfileInt(std::u16string_view(*found).substr(0, 29));
}

}  // namespace

std::u16string GetProfileString(std::u16string_view section, std::u16string_view key,
                                std::u16string_view defaultValue, size_t maxChars,
                                const std::filesystem::path& file) {
  return StringOrDefault(FindValue(section, key, file), defaultValue, maxChars);
}

uint32_t GetProfileInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue,
                       const std::filesystem::path& file) {
  return IntOrDefault(FindValue(section, key, file), defaultValue);
}

ProfileReader::ProfileReader(const std::filesystem::path& file) : document_(LoadDocument(file)) {}

ProfileReader::~ProfileReader() = default;

std::u16string ProfileReader::GetString(std::u16string_view section, std::u16string_view key,
                                        std::u16string_view defaultValue, size_t maxChars) const {
  return StringOrDefault(FindIn(document_.get(), section, key), defaultValue, maxChars);
}

uint32_t ProfileReader::GetInt(std::u16string_view section, std::u16string_view key,
                               int32_t defaultValue) const {
  return IntOrDefault(FindIn(document_.get(), section, key), defaultValue);
}

std::optional<std::vector<uint8_t>> GetProfileStruct(std::u16string_view section,
                                                     std::u16string_view key, size_t size,
                                                     const std::filesystem::path& file) {
  const auto found = FindValue(section, key, file);
  if (!found || found->size() != 2 * size + 2) return std::nullopt;
  std::vector<uint8_t> bytes(size + 1);
  for (size_t i = 0; i <= size; ++i) {
    const int hi = HexDigit((*found)[2 * i]);
    const int lo = HexDigit((*found)[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  if (sum != bytes[size]) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool WriteProfileString(std::u16string_view section, const std::u16string* key,
                        const std::u16string* value, const std::filesystem::path& file) {
  ProfileWriter writer(file);
  if (key == nullptr) {
    writer.RemoveSection(section);
  } else if (value == nullptr) {
    writer.Remove(section, *key);
  } else {
    writer.Write(section, *key, *value);
  }
  return writer.Commit();
}

bool WriteProfileString(std::u16string_view section, std::u16string_view key,
                        std::u16string_view value, const std::filesystem::path& file) {
  const std::u16string k(key);
  const std::u16string v(value);
  return WriteProfileString(section, &k, &v, file);
}

// The hex text of a structure value: the bytes, then their sum mod 256.
static std::u16string StructText(const uint8_t* data, size_t size) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string hex;
  hex.reserve(2 * size + 2);
  uint8_t sum = 0;
  auto put = [&](uint8_t b) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 0xF]);
  };
  for (size_t i = 0; i < size; ++i) {
    put(data[i]);
    sum = static_cast<uint8_t>(sum + data[i]);
  }
  put(sum);
  return hex;
}

bool WriteProfileStruct(std::u16string_view section, std::u16string_view key, const uint8_t* data,
                        size_t size, const std::filesystem::path& file) {
  const std::u16string k(key);
  if (data == nullptr) return WriteProfileString(section, &k, nullptr, file);
  const std::u16string hex = StructText(data, size);
  return WriteProfileString(section, &k, &hex, file);
}

struct ProfileWriter::State {
  explicit State(const std::filesystem::path& file) : lock(file) {}
  FileLock lock;
  IniDocument document;
  bool readable = true;
};

ProfileWriter::ProfileWriter(std::filesystem::path file) : file_(std::move(file)) {
  state_ = std::make_unique<State>(file_);
  bool unreadable = false;
  if (auto bytes = ReadIniFile(file_, unreadable)) state_->document = IniDocument::Parse(*bytes);
  state_->readable = !unreadable;
}

ProfileWriter::~ProfileWriter() = default;

void ProfileWriter::Write(std::u16string_view section, std::u16string_view key,
                          std::u16string_view value) {
  state_->document.Set(Trim(section, kSpace), Trim(key, kSpace), value);
}

void ProfileWriter::WriteStruct(std::u16string_view section, std::u16string_view key,
                                const uint8_t* data, size_t size) {
  Write(section, key, StructText(data, size));
}

void ProfileWriter::Remove(std::u16string_view section, std::u16string_view key) {
  state_->document.RemoveKey(Trim(section, kSpace), Trim(key, kSpace));
}

void ProfileWriter::RemoveSection(std::u16string_view section) {
  state_->document.RemoveSection(Trim(section, kSpace));
}

// An unreadable file is not replaced: what it holds would be lost.
bool ProfileWriter::Commit() {
  if (!state_->readable) return false;
  std::error_code ec;
  const auto folder = file_.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    ReportFileProblem(file_, "cannot be written: its folder does not exist");
    return false;
  }
  Forget(file_);
  const std::string reason = SaveFile(file_, state_->document.Serialize());
  if (!reason.empty()) ReportFileProblem(file_, "cannot be written: " + reason);
  return reason.empty();
}

void ClearProfileCache() { Cache().clear(); }

}  // namespace lorvane::platform
