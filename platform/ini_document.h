// One INI file held as its original lines, so that a change rewrites only the lines it must
// and every other byte (comments, NULs, line ends, encoding) stays as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvane::platform {

enum class IniEncoding { kUtf8, kUtf8Bom, kUtf16Le, kCp932 };

class IniDocument {
 public:
  IniDocument() = default;

  // Detects the encoding (FF FE: UTF-16LE; EF BB BF: UTF-8 with BOM; valid UTF-8; else
  // CP932) and splits the lines at CR LF, LF or a lone CR.
  static IniDocument Parse(std::string_view bytes);

  // The value of the first matching key of the first section with this name, trimmed of
  // blanks and without a pair of outer quotes; nullopt when the section or key is absent.
  // Names match ASCII-case-insensitively; the caller trims its names.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

  // Replaces the key's value in place, or adds the key (after the section's last key line)
  // or the section (at the end).
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void RemoveKey(std::u16string_view section, std::u16string_view key);
  // Removes the header and key lines of the first section with this name; comments stay.
  void RemoveSection(std::u16string_view section);

  std::string Serialize() const;
  IniEncoding encoding() const { return encoding_; }

 private:
  enum class Kind { kOther, kSection, kKey, kComment };
  struct Line {
    std::string raw;  // encoded content without the line end
    std::string eol;  // encoded line end: "", "\r\n", "\n" or "\r"
    std::u16string text;
    Kind kind = Kind::kOther;
    std::u16string name;   // section or key name
    std::u16string value;  // key value, trimmed
  };
  struct SectionRange {
    size_t header;
    size_t end;  // one past the section's last line
  };

  static void Classify(Line& line);
  std::optional<SectionRange> FindSection(std::u16string_view section) const;
  std::optional<size_t> FindKey(const SectionRange& range, std::u16string_view key) const;
  Line MakeLine(std::u16string text) const;
  std::string Encode(std::u16string_view text) const;
  std::string LineEnd() const;
  void EnsureLineEnd(size_t index);

  IniEncoding encoding_ = IniEncoding::kUtf8;
  std::vector<Line> lines_;
  std::string oddByte_;  // a UTF-16 file's unpaired last byte, kept at the end of the file
};

}  // namespace lorvane::platform
