// SPDX-License-Identifier: MIT
// The profile interface: typed reads and writes of single keys in INI files, with the
// acceptance rules of the Windows profile functions. Every call stands alone; parsed files
// are cached and re-read when they change. A file that exists but cannot be read (a folder,
// a FIFO, a read error, more than 16 MB) reads as a missing one and is reported once; a
// write that fails is reported with its reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvane::platform {

// The value of `key` in `section`, at most `maxChars` UTF-16 code units; the default (with
// trailing blanks and a pair of outer quotes removed, cut the same way) when the file,
// section or key is missing.
// Section and key names lose leading and trailing spaces before they are matched.
std::u16string GetProfileString(std::u16string_view section, std::u16string_view key,
                                std::u16string_view defaultValue, size_t maxChars,
                                const std::filesystem::path& file);

// The value read as an integer: optional sign, "0x"/"0o"/"0b" prefixes, digits summed
// modulo 2^32 up to the first non-digit. The default when the value is missing or empty.
uint32_t GetProfileInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue,
                       const std::filesystem::path& file);

// `size` bytes stored as upper-case hex plus a checksum byte; nullopt unless the value has
// exactly 2*size+2 hex digits and the checksum (sum of the bytes mod 256) matches.
std::optional<std::vector<uint8_t>> GetProfileStruct(std::u16string_view section,
                                                     std::u16string_view key, size_t size,
                                                     const std::filesystem::path& file);

// Writes key=value; a null value removes the key, a null key removes the section. A missing
// file is created (UTF-8, no BOM); a missing folder fails. Returns false on failure.
bool WriteProfileString(std::u16string_view section, const std::u16string* key,
                        const std::u16string* value, const std::filesystem::path& file);
bool WriteProfileString(std::u16string_view section, std::u16string_view key,
                        std::u16string_view value, const std::filesystem::path& file);

// Writes the bytes as hex with the checksum byte; null data removes the key.
bool WriteProfileStruct(std::u16string_view section, std::u16string_view key, const uint8_t* data,
                        size_t size, const std::filesystem::path& file);

// Many lookups in one file, read once: what a card definition's load makes by the thousand.
// The same answers as the functions above at the moment the reader was made.
class ProfileReader {
 public:
  explicit ProfileReader(const std::filesystem::path& file);
  ~ProfileReader();

  std::u16string GetString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view defaultValue, size_t maxChars) const;
  uint32_t GetInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const;

 private:
  std::shared_ptr<const class IniDocument> document_;
};

// Several writes to one file applied in order and saved at once (one atomic replacement),
// with the same effect as the single writes one after the other. The file is locked against
// other writers from construction until the writer goes, so no process's changes are lost.
class ProfileWriter {
 public:
  explicit ProfileWriter(std::filesystem::path file);
  ~ProfileWriter();
  ProfileWriter(const ProfileWriter&) = delete;
  ProfileWriter& operator=(const ProfileWriter&) = delete;

  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void WriteStruct(std::u16string_view section, std::u16string_view key, const uint8_t* data,
                   size_t size);
  void Remove(std::u16string_view section, std::u16string_view key);
  void RemoveSection(std::u16string_view section);
  // False when the file could not be read or written (the problem is reported).
  bool Commit();

 private:
  struct State;
  std::filesystem::path file_;
  std::unique_ptr<State> state_;
};

// Drops every cached file (tests that rewrite files within one clock tick call this).
void ClearProfileCache();

}  // namespace lorvane::platform
