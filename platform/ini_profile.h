// The profile interface: typed reads and writes of single keys in INI files, with the
// acceptance rules of the Windows profile functions (see shared notes in the repository
// README). Every call stands alone; parsed files are cached and re-read when they change.
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
// trailing blanks removed and cut the same way) when the file, section or key is missing.
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

// Several writes to one file applied in order and saved at once (one atomic replacement),
// with the same effect as the single writes one after the other.
class ProfileWriter {
 public:
  explicit ProfileWriter(std::filesystem::path file);
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void WriteStruct(std::u16string_view section, std::u16string_view key, const uint8_t* data,
                   size_t size);
  void Remove(std::u16string_view section, std::u16string_view key);
  // False when the file could not be read or written.
  bool Commit();

 private:
  std::filesystem::path file_;
  std::shared_ptr<void> document_;
  bool readable_ = true;
};

// Drops every cached file (tests that rewrite files within one clock tick call this).
void ClearProfileCache();

}  // namespace lorvane::platform
