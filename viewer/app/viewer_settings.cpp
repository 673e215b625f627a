// SPDX-License-Identifier: MIT
#include "viewer/app/viewer_settings.h"

#include "platform/ini_profile.h"
#include "platform/text_codec.h"

namespace lorvane::app {
namespace {

constexpr std::array<std::u16string_view, 4> kWindowKeys = {u"WindowLeft", u"WindowRight",
                                                            u"Windowtop", u"Windowbottom"};

}  // namespace

ViewerSettings ViewerSettings::Read(const std::filesystem::path& file) {
  ViewerSettings s;
  s.languageDirectory = platform::GetProfileString(u"Setting", u"LanguageDirectory",
                                                   kDefaultLanguageDirectory, 259, file);
  if (s.languageDirectory.empty()) s.languageDirectory = kDefaultLanguageDirectory;
  s.language = platform::GetProfileString(u"Property", u"Language", u"", 199, file);
  for (size_t i = 0; i < kWindowKeys.size(); ++i) {
    s.window[i] =
        static_cast<int32_t>(platform::GetProfileInt(u"Property", kWindowKeys[i], -1, file));
  }
  return s;
}

// Every key in one atomic replacement of the file: a kill leaves the old settings or the new.
bool ViewerSettings::Write(const std::filesystem::path& file,
                           const std::u16string& currentLanguage) const {
  platform::ProfileWriter writer(file);
  writer.Write(u"Setting", u"LanguageDirectory", languageDirectory);
  writer.Write(u"Property", u"Language", currentLanguage);
  for (size_t i = 0; i < kWindowKeys.size(); ++i)
    writer.Write(u"Property", kWindowKeys[i], platform::U16(std::to_string(window[i])));
  return writer.Commit();
}

}  // namespace lorvane::app
