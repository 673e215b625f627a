// SPDX-License-Identifier: MIT
// Conversions between UTF-8, UTF-16 and CP932, and the small ASCII-only text helpers
// that the INI layer and the viewer share.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lorvane::platform {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Strict decoding: nullopt when the bytes are not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

// Lenient decoding: every malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16Lossy(std::string_view bytes);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// CP932 (Shift-JIS with the Windows extensions) through iconv. A byte sequence that does
// not decode becomes U+FFFD, so decoding never fails.
std::u16string Cp932ToUtf16(std::string_view bytes);

// Characters that CP932 cannot represent become '?'.
std::string Utf16ToCp932(std::u16string_view text);

// UTF-16LE bytes (no BOM) and back. An odd trailing byte is dropped.
std::u16string Utf16LeBytesToText(std::string_view bytes);
std::string TextToUtf16LeBytes(std::u16string_view text);

// Letters A-Z and a-z only; everything else compares as itself.
char16_t AsciiToLower(char16_t c);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Trims the characters in `set` from both ends (or one end).
std::u16string_view Trim(std::u16string_view text, std::u16string_view set);
std::u16string_view TrimRight(std::u16string_view text, std::u16string_view set);

// The blanks that INI parsing drops around section names, keys and values: space, tab, VT,
// form feed and 0x1A (the end-of-file mark of old DOS files).
inline constexpr std::u16string_view kIniBlanks = u" \t\v\f\x1A";
// White space in the sense of C's isspace for the ASCII range.
inline constexpr std::u16string_view kWhiteSpace = u" \t\v\f\r\n";

// The columns a terminal gives the text: two for East Asian wide and full-width characters,
// none for combining marks and control characters, one for the rest.
size_t TerminalColumns(std::u16string_view text);

// Shorthand for literal UTF-8 text in code and tests.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16Lossy(utf8); }
inline std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace lorvane::platform
