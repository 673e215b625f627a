// SPDX-License-Identifier: MIT
// Loading time of card definitions and INI files: a definition at every maximum the format
// allows (8 systems, 100 services, 50 Infos of 16 fields, 100 replace tables of 256
// entries), and INI files of 1, 4 and 16 MB, which must load in time linear in their size.
// Prints the median of several runs, each from a cold parse.
//   usage: definition-load-benchmark [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/ini_profile.h"
#include "platform/text_codec.h"
#include "viewer/carddef/card_definition.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Two(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

std::string MaximumDefinition() {
  std::string s = "[Card Definition]\nCardName=Every maximum\n";
  for (int i = 1; i <= 8; ++i) s += "SystemCode" + std::to_string(i) + "=" + Two(i) + "03,12\n";
  for (int i = 1; i <= 100; ++i) s += "ServiceCode." + Two(i) + "=090F,0,2\n";
  for (int n = 1; n <= 50; ++n) {
    const std::string info = "Info." + Two(n);
    s += info + ".BlockSetNo=" + std::to_string(n) + "\n" + info + ".BlockPerRecord=1\n";
    s += info + ".Format=\"%s %s %s %s %s %s %s %s %s %s %s %s %s %s %s %s\"," +
         "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\n";
    for (int f = 1; f <= 16; ++f) {
      const std::string field = info + "." + Two(f);
      s += field + ".Data=0,1\n" + field + ".Format=%02X\n" + field + ".Title=Column " +
           std::to_string(f) + "\n";
    }
  }
  for (int r = 1; r <= 100; ++r) {
    const std::string table = "Replace." + Two(r);
    s += table + ".Data=" + std::to_string(r % 50 + 1) + ",1\n";
    for (int e = 1; e <= 256; ++e) {
      const std::string entry = table + "." + (e >= 100 ? std::to_string(e) : Two(e));
      s += entry + ".Value=" + std::to_string(e - 1) + "\n" + entry +
           ".Name=A replacement text of some length " + std::to_string(e) + "\n" + entry +
           ".Mode=0\n";
    }
  }
  return s;
}

// `bytes` of INI lines that are no definition: many sections, many keys.
std::string Garbage(size_t bytes) {
  std::string s;
  for (size_t i = 0; s.size() < bytes; ++i) {
    if (i % 50 == 0) s += "[Section " + std::to_string(i / 50) + "]\n";
    s += "Key" + std::to_string(i) + " = some value " + std::to_string(i * 7919) + "\n";
  }
  return s;
}

template <typename Action>
double MedianMs(int runs, Action action) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    lorvane::platform::ClearProfileCache();
    const auto start = Clock::now();
    action();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Write(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const fs::path folder =
      fs::temp_directory_path() / ("definition-benchmark-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path definition = folder / "CardDef_Maximum.ini";
  const std::string text = MaximumDefinition();
  Write(definition, text);
  const std::u16string name = lorvane::platform::U16(definition.string());
  int16_t status = 0;
  const double load = MedianMs(runs, [&] {
    lorvane::carddef::CardDefinition loaded(name, -1);
    status = loaded.loaded() ? 0 : 1;
  });
  std::printf("maximum definition: %.2f MB, loaded in %.1f ms (median of %d)%s\n",
              static_cast<double>(text.size()) / (1024 * 1024), load, runs,
              status == 0 ? "" : " -- NOT LOADED");
  for (size_t mb : {1, 4, 16}) {
    const fs::path file = folder / ("garbage-" + std::to_string(mb) + ".ini");
    Write(file, Garbage(mb * 1024 * 1024 - 4096));
    const double ms = MedianMs(runs, [&] {
      lorvane::platform::GetProfileString(u"Section 7", u"missing", u"", 99, file);
    });
    std::printf("INI file of %2zu MB: first lookup in %7.1f ms (%.1f ms per MB)\n", mb, ms,
                ms / static_cast<double>(mb));
  }
  // Bytes that are no valid text in any encoding the INI layer knows: read as CP932, each bad
  // byte a replacement character.
  const fs::path noise = folder / "garbage-cp932.ini";
  std::string bytes(16 * 1024 * 1024 - 4096, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i % 3 == 0 ? 0xFF : i % 97 == 0 ? '\n' : 0xA0 + i % 7);
  Write(noise, bytes);
  const double noiseMs = MedianMs(
      runs, [&] { lorvane::platform::GetProfileString(u"Information", u"Name", u"", 99, noise); });
  std::printf("16 MB of invalid CP932: first lookup in %.1f ms\n", noiseMs);
  fs::remove_all(folder);
  return status;
}
