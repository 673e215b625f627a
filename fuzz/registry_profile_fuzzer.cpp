// SPDX-License-Identifier: MIT
// The profile functions on a registry file: the file's first contents come from the input,
// then a run of operations (integer and structure reads, single writes, structures with
// their checksum, batched writes, removals) with names and values from the input, control
// characters included. Whatever a value holds, it reads back as written, on its own line:
// no write adds a key nobody wrote.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace {

namespace fs = std::filesystem;
using lorvane::platform::Trim;

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Next() { return at < size ? data[at++] : 0; }
  std::string Bytes(size_t limit) {
    const size_t n = std::min({size_t{Next()}, limit, size - std::min(at, size)});
    std::string bytes(reinterpret_cast<const char*>(data + at), n);
    at += n;
    return bytes;
  }
  // A value of ASCII characters, control characters included (every encoding a file may
  // have holds them).
  std::u16string Value(size_t limit) {
    std::u16string value;
    for (char c : Bytes(limit)) value.push_back(static_cast<char16_t>(c & 0x7F));
    return value;
  }
  // A section or key name the checks can rely on: letters only.
  std::u16string Name() {
    return u"K" + std::u16string(1, static_cast<char16_t>(u'a' + Next() % 4));
  }
};

const fs::path& File() {
  static const fs::path file =
      fs::temp_directory_path() / ("registry-fuzz-" + std::to_string(getpid()) + ".ini");
  return file;
}

// What a written value reads back as: line breaks and NULs as blanks, blanks trimmed, one
// pair of outer quotes removed.
std::u16string ReadBack(std::u16string value) {
  for (char16_t& c : value)
    if (c == u'\r' || c == u'\n' || c == 0) c = u' ';
  std::u16string_view text = Trim(value, lorvane::platform::kIniBlanks);
  if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
      text.back() == text.front())
    text = text.substr(1, text.size() - 2);
  return std::u16string(text);
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void RunOperation(Input& in, const fs::path& file) {
  using namespace lorvane::platform;
  const std::u16string section = u"KXDLLSettings";
  switch (in.Next() % 6) {
    case 0:
      GetProfileInt(section, in.Name(), -1, file);
      break;
    case 1: {
      const std::u16string key = in.Name();
      const std::u16string value = in.Value(200);
      if (WriteProfileString(section, key, value, file))
        Check(GetProfileString(section, key, u"", 1000, file) == ReadBack(value));
      break;
    }
    case 2: {
      const std::u16string key = in.Name();
      const std::string bytes = in.Bytes(64);
      const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
      if (WriteProfileStruct(section, key, raw, bytes.size(), file)) {
        const auto back = GetProfileStruct(section, key, bytes.size(), file);
        Check(back && std::equal(back->begin(), back->end(), raw));
      }
      break;
    }
    case 3: {
      ProfileWriter writer(file);
      for (int i = in.Next() % 4; i > 0; --i) writer.Write(section, in.Name(), in.Value(40));
      writer.Remove(section, in.Name());
      writer.Commit();
      break;
    }
    case 4:
      WriteProfileString(section, nullptr, nullptr, file);
      break;
    default:
      GetProfileStruct(section, in.Name(), in.Next() % 8, file);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const fs::path& file = File();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string start = in.Bytes(255);
    out.write(start.data(), static_cast<std::streamsize>(start.size()));
  }
  lorvane::platform::ClearProfileCache();
  // Only keys that were written exist: no value makes a line of its own, so a key nobody
  // wrote keeps the value the file started with, or goes with its section.
  const auto folder = [&] {
    return lorvane::platform::GetProfileString(u"KXDLLSettings", u"DLLDirectory", u"\x01", 999,
                                               file);
  };
  const std::u16string before = folder();
  for (int step = 0; step < 8 && in.at < size; ++step) RunOperation(in, file);
  const std::u16string after = folder();
  Check(after == before || after == u"\x01");
  return 0;
}
