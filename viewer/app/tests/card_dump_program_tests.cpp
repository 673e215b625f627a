// SPDX-License-Identifier: MIT
// lorvane --dump as a user runs it: with no reader attached the card-image plug-in serves a
// card image as its reader, and the dump of it must give that image back; the file appears
// only when the dump is complete.
#include <gtest/gtest.h>

#include <filesystem>

#include "cardimage/card_image.h"
#include "testing/support/program_folder.h"
#include "testing/support/program_runner.h"
#include "viewer/app/command_line.h"

namespace lorvane::app {
namespace {

namespace fs = std::filesystem;
using cardimage::CardImage;
using lorvane::testing::ProgramResult;

const fs::path kBin = LORVANE_BIN_DIR;
const fs::path kSharedCards = fs::path(LORVANE_SOURCE_DIR) / "../shared/cards";

class DumpProgram : public ::testing::Test {
 protected:
  // lorvane with no reader (no PC/SC service), the card-image plug-in serving `image`.
  ProgramResult Run(const fs::path& image, std::vector<std::string> args) {
    const std::string env = "PCSCLITE_CSOCK_NAME=" + (program_.dir().path() / "no-pcscd").string() +
                            " LORVANE_CARD_IMAGE='" + image.string() + "'";
    return lorvane::testing::RunProgramAfter(env, program_.Lorvane(), args);
  }
  CardImage Load(const fs::path& file) {
    std::string error;
    auto image = cardimage::LoadCardImage(file, error);
    EXPECT_TRUE(image) << error;
    return image.value_or(CardImage{});
  }
  fs::path Out(const std::string& name) const { return program_.dir().path() / name; }

  lorvane::testing::ProgramFolder program_{kBin};
};

// Same systems (with the IDm each answers with), areas, services and readable blocks.
void ExpectSameCard(const CardImage& dump, const CardImage& original, const std::string& name) {
  EXPECT_EQ(dump.idm, original.idm) << name;
  EXPECT_EQ(dump.pmm, original.pmm) << name;
  ASSERT_EQ(dump.systems.size(), original.systems.size()) << name;
  for (size_t s = 0; s < dump.systems.size(); ++s) {
    const auto& got = dump.systems[s];
    const auto& want = original.systems[s];
    EXPECT_EQ(got.code, want.code) << name;
    EXPECT_EQ(got.idm, want.idm) << name;
    ASSERT_EQ(got.areas.size(), want.areas.size()) << name;
    for (size_t a = 0; a < got.areas.size(); ++a) {
      EXPECT_EQ(got.areas[a].code, want.areas[a].code) << name;
      EXPECT_EQ(got.areas[a].end, want.areas[a].end) << name;
    }
    ASSERT_EQ(got.services.size(), want.services.size()) << name;
    for (size_t i = 0; i < got.services.size(); ++i) {
      EXPECT_EQ(got.services[i].code, want.services[i].code) << name;
      EXPECT_EQ(got.services[i].blocks, want.services[i].blocks)
          << name << " service " << want.services[i].code;
    }
  }
}

TEST_F(DumpProgram, EveryCardComesBackFromItsDump) {
  std::vector<fs::path> cards = {kBin / "samples/sample-transit.json"};
  if (fs::exists(kSharedCards)) {
    for (const auto& entry : fs::directory_iterator(kSharedCards)) {
      const auto ext = entry.path().extension();
      if (ext == ".json" || ext == ".nfc") cards.push_back(entry.path());
    }
  }
  for (const fs::path& card : cards) {
    const fs::path out = Out(card.stem().string() + card.extension().string() + ".dump.json");
    const ProgramResult r = Run(card, {"--dump", out.string()});
    ASSERT_EQ(r.status, kExitDumped) << card << r.err;
    EXPECT_NE(r.err.find("read from the card image " + card.string()), std::string::npos) << r.err;
    const CardImage dump = Load(out);
    EXPECT_EQ(dump.scanned.size(), 20u);
    ExpectSameCard(dump, Load(card), card.filename().string());
    // Read back, it shows what the card shows.
    const auto fromDump = lorvane::testing::RunProgram(
        program_.Lorvane(), {"--read", "--card", out.string(), "--language", "English"});
    const auto fromCard = lorvane::testing::RunProgram(
        program_.Lorvane(), {"--read", "--card", card.string(), "--language", "English"});
    EXPECT_EQ(fromDump.status, fromCard.status) << card;
    EXPECT_EQ(fromDump.out, fromCard.out) << card;
  }
}

TEST_F(DumpProgram, ProgressNamesEverySystemAndService) {
  const ProgramResult r =
      Run(kBin / "samples/sample-transit.json", {"--dump", Out("card.json").string()});
  ASSERT_EQ(r.status, kExitDumped) << r.err;
  EXPECT_NE(r.err.find("lorvane: system 0003\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("lorvane:   service 090F: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("lorvane: saved " + Out("card.json").string()), std::string::npos);
}

TEST_F(DumpProgram, NothingIsWrittenWithoutACardOrAWritableFile) {
  // No reader and no image: the card-image plug-in has nothing to serve but the sample, so
  // take the sample away.
  fs::remove_all(program_.dir().path() / "samples");
  const ProgramResult none = Run(Out("missing.json"), {"--dump", Out("none.json").string()});
  EXPECT_EQ(none.status, kExitNotDumped) << none.err;
  EXPECT_NE(none.err.find("nothing was saved"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(Out("none.json")));

  const fs::path nowhere = Out("no-such-folder/card.json");
  const ProgramResult unwritable = lorvane::testing::RunProgram(
      program_.Lorvane(),
      {"--dump", nowhere.string(), "--card", (kBin / "samples/sample-transit.json").string()});
  EXPECT_EQ(unwritable.status, kExitUsage);
  EXPECT_NE(unwritable.err.find(nowhere.string()), std::string::npos) << unwritable.err;

  const ProgramResult both = lorvane::testing::RunProgram(
      program_.Lorvane(), {"--dump", Out("x.json").string(), "--read"});
  EXPECT_EQ(both.status, kExitUsage);
}

TEST_F(DumpProgram, WithACardImageTheImageIsSavedInTheNativeForm) {
  const fs::path nfc = kSharedCards / "suica-farebot.nfc";
  if (!fs::exists(nfc)) GTEST_SKIP() << "shared/cards is not beside the checkout";
  const ProgramResult r = lorvane::testing::RunProgram(
      program_.Lorvane(), {"--dump", Out("suica.json").string(), "--card", nfc.string()});
  ASSERT_EQ(r.status, kExitDumped) << r.err;
  ExpectSameCard(Load(Out("suica.json")), Load(nfc), "suica");
}

// With no reader, the card-image plug-in serves the bundled sample: that is no card of the
// user's, and --dump saves nothing.
TEST_F(DumpProgram, TheBundledSampleIsNeverSavedAsACard) {
  const std::string noService =
      "PCSCLITE_CSOCK_NAME=" + (program_.dir().path() / "no-pcscd").string();
  const fs::path out = Out("sample.json");
  const ProgramResult r =
      lorvane::testing::RunProgramAfter(noService, program_.Lorvane(), {"--dump", out.string()});
  EXPECT_EQ(r.status, kExitNotDumped) << r.err;
  EXPECT_NE(r.err.find("no card on a reader"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out));
  // Asked for by name, it is saved.
  const ProgramResult named = lorvane::testing::RunProgramAfter(
      noService, program_.Lorvane(),
      {"--dump", out.string(), "--card",
       (program_.dir().path() / "samples/sample-transit.json").string()});
  EXPECT_EQ(named.status, kExitDumped) << named.err;
}

}  // namespace
}  // namespace lorvane::app
