// SPDX-License-Identifier: MIT
// INI files: parsing, lookups and in-place writes of arbitrary bytes. A value written must
// read back, and a second write of the same value must change nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ini_document.h"
#include "platform/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lorvane::platform::IniDocument;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniDocument document = IniDocument::Parse(bytes);
  for (const char16_t* key : {u"CardName", u"Application", u"Name", u"", u"k"}) {
    document.Find(u"Card Definition", key);
    document.Find(u"Information", key);
    document.Find(u"", key);
  }
  document.Set(u"Setting", u"LanguageDirectory", u"Define\\Language");
  document.Set(u"Card Definition", u"CardName", u"名前");
  const std::string written = document.Serialize();
  IniDocument again = IniDocument::Parse(written);
  const auto value = again.Find(u"Setting", u"LanguageDirectory");
  if (!value || *value != u"Define\\Language") std::abort();
  again.Set(u"Setting", u"LanguageDirectory", u"Define\\Language");
  if (again.Serialize() != written) std::abort();
  again.RemoveSection(u"Card Definition");
  again.RemoveKey(u"Setting", u"LanguageDirectory");
  if (IniDocument::Parse(again.Serialize()).Find(u"Setting", u"LanguageDirectory")) std::abort();
  return 0;
}
