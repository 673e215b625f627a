// SPDX-License-Identifier: MIT
// One INI file held as its original lines, so that a change rewrites only the lines it must
// and every other byte (comments, NULs, line ends, encoding) stays as it was. Each section
// and each key is indexed at its first occurrence, so a lookup takes constant time and
// parsing a file takes time linear in its size.
#pragma once

#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lorvane::platform {

enum class IniEncoding { kUtf8, kUtf8Bom, kUtf16Le, kCp932 };

// A value without one pair of outer quotes ('…' or "…"), as lookups return values.
std::u16string StripOuterQuotes(std::u16string_view value);

class IniDocument {
 public:
  IniDocument() = default;
  IniDocument(const IniDocument& other) { *this = other; }
  IniDocument& operator=(const IniDocument& other);
  IniDocument(IniDocument&&) = default;
  IniDocument& operator=(IniDocument&&) = default;

  // Detects the encoding (FF FE: UTF-16LE; EF BB BF: UTF-8 with BOM; valid UTF-8; else
  // CP932) and splits the lines at CR LF, LF or a lone CR.
  static IniDocument Parse(std::string_view bytes);

  // The value of the first matching key of the first section with this name, trimmed of
  // blanks and without a pair of outer quotes; nullopt when the section or key is absent.
  // Names match ASCII-case-insensitively; the caller trims its names.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

  // Replaces the key's value in place, or adds the key (after the section's last key line)
  // or the section (at the end). A CR, LF or NUL in the section, key or value is written as
  // a blank: a value never spans lines.
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
    Kind kind = Kind::kOther;
    std::u16string name;   // section or key name
    std::u16string value;  // key value, trimmed
  };
  using LineIt = std::list<Line>::iterator;
  // Names hashed and compared without regard to ASCII case, looked up without a copy.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const;
  };
  struct NameEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };
  template <typename Value>
  using NameMap = std::unordered_map<std::u16string, Value, NameHash, NameEqual>;
  struct Section {
    LineIt header;
    LineIt lastKey;        // the header when it has no key
    NameMap<LineIt> keys;  // the first key line of each name
  };

  static void Classify(Line& line, std::u16string_view text);
  void BuildIndex();
  void IndexSection(Section& section);
  const Section* FindSection(std::u16string_view name) const;
  Section* FindSection(std::u16string_view name);
  Line MakeLine(std::u16string_view text) const;
  std::string Encode(std::u16string_view text) const;
  void EnsureLineEnd(LineIt line);

  IniEncoding encoding_ = IniEncoding::kUtf8;
  std::list<Line> lines_;
  NameMap<Section> sections_;  // the first section of each name
  std::string lineEnd_;        // the file's first line end, for new lines
  std::string oddByte_;        // a UTF-16 file's unpaired last byte, kept at the end of the file
};

}  // namespace lorvane::platform
