// SPDX-License-Identifier: MIT
#include "cardimage/card_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cardimage/card_image_reader.h"
#include "testing/support/temp_dir.h"

namespace lorvane::cardimage {
namespace {

const std::filesystem::path kBroken =
    std::filesystem::path(LORVANE_SOURCE_DIR) / "cardimage/tests/fixtures/broken";
const std::filesystem::path kSharedCards =
    std::filesystem::path(LORVANE_SOURCE_DIR) / "../shared/cards";

const char kImage[] = R"({
  "format": "felica-card-image", "version": 1,
  "idm": "01 02 03 04 05 06 07 08", "pmm": "100b4b428485d0ff",
  "systems": [
    {"code": "0003",
     "areas": [{"code": "0000", "end": "FFFE"}],
     "services": [{"code": "0088"},
                  {"code": "090F", "blocks": ["16050000D02B2BA0E803000033700000",
                                              "000102030405060708090A0B0C0D0E0F"]}]},
    {"code": "FE00", "idm": "1112131415161718", "services": [{"code": "1317", "blocks": []}]}
  ]})";

TEST(CardImage, ParsesTheNativeForm) {
  std::string error;
  const auto image = ParseCardImageJson(kImage, error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->idm[7], 8);
  EXPECT_EQ(image->pmm[0], 0x10);
  ASSERT_EQ(image->systems.size(), 2u);
  EXPECT_EQ(image->systems[0].idm, image->idm);  // a system without its own IDm
  EXPECT_EQ(image->systems[1].idm[0], 0x11);
  EXPECT_EQ(image->systems[0].areas[0].end, 0xFFFE);
  const CardService* history = image->systems[0].FindService(0x090F);
  ASSERT_NE(history, nullptr);
  ASSERT_EQ(history->blocks.size(), 2u);
  EXPECT_EQ(history->blocks[0][0], 0x16);
  EXPECT_TRUE(image->systems[0].FindService(0x0088)->blocks.empty());
  // Written out and read back, nothing changes.
  const auto again = ParseCardImageJson(SerializeCardImageJson(*image), error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(SerializeCardImageJson(*again), SerializeCardImageJson(*image));
}

TEST(CardImageReader, AnswersAsACardOnAReader) {
  std::string error;
  CardImageReader reader(*ParseCardImageJson(kImage, error));
  const uint8_t* card = nullptr;
  uint8_t block[16] = {};
  EXPECT_EQ(reader.ReaderRead(0x090F, 0, block), kCardDetached);
  EXPECT_EQ(reader.ReaderREQC(0x1234), kNoCard);
  reader.ReaderSetCurrentCard(0, &card);
  EXPECT_EQ(card, nullptr);
  EXPECT_EQ(reader.ReaderREQC(0xFFFF), 0);  // wildcard: the first system
  reader.ReaderSetCurrentCard(0, &card);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card[0], 0x01);
  EXPECT_EQ(card[8], 0x10);  // PMm follows the IDm
  EXPECT_EQ(reader.ReaderREQC(0xFEFF), 0);
  reader.ReaderSetCurrentCard(0, &card);
  EXPECT_EQ(card[0], 0x11);                                 // per-system IDm
  EXPECT_EQ(reader.ReaderRead(0x1317, 0, block), kNoCard);  // no readable blocks: A6
  EXPECT_EQ(reader.ReaderRead(0x090F, 0, block), kNoCard);  // not in this system
  EXPECT_EQ(reader.ReaderREQC(0x0003), 0);
  EXPECT_EQ(reader.ReaderRead(0x090F, 1, block), 0);
  EXPECT_EQ(block[15], 0x0F);
  EXPECT_EQ(reader.ReaderRead(0x090F, 2, block), kReadFailed);  // beyond the service: A8
  EXPECT_EQ(reader.ReaderRead(0x0088, 0, block), kNoCard);
  EXPECT_TRUE(SystemCodeMatches(0x00FF, 0x0003));
  EXPECT_FALSE(SystemCodeMatches(0x00FF, 0xFE00));
}

TEST(CardImage, BrokenFilesAreRefusedWithTheFileAndThePlace) {
  struct Case {
    const char* file;
    const char* place;
  } cases[] = {
      {"not_json.json", "not valid JSON (line 1)"},
      {"truncated.json", "not valid JSON"},
      {"number_out_of_range.json", "not valid JSON (a number out of range)"},
      {"not_object.json", "top level: expected an object"},
      {"wrong_format.json", "format: expected \"felica-card-image\""},
      {"wrong_version.json", "version: expected 1"},
      {"missing_idm.json", "card: missing \"idm\""},
      {"short_idm.json", "card.idm: expected 8 bytes"},
      {"bad_pmm.json", "card.pmm: expected 8 bytes"},
      {"missing_systems.json", "card: missing \"systems\""},
      {"systems_not_list.json", "card.systems: expected a list"},
      {"short_system_code.json", "systems[0].code: expected 2 bytes"},
      {"short_block.json", "systems[0].services[0].blocks[0].block: expected 16 bytes"},
      {"block_not_text.json", "systems[0].services[0].blocks[0].block: expected 16 bytes"},
      {"area_without_end.json", "systems[0].areas[0]: missing \"end\""},
      {"service_not_object.json", "systems[0].services[0]: expected an object"},
      {"flipper_not_felica.nfc", "not a Flipper FeliCa dump of data format version 2"},
      {"flipper_version1.nfc", "not a Flipper FeliCa dump of data format version 2"},
      {"flipper_short_idm.nfc", "line 4: expected 8 bytes after \"Manufacture id\""},
      {"flipper_block_before_system.nfc", "line 5: block before any system"},
      {"flipper_block_gap.nfc", "line 6: block index out of order"},
      {"flipper_short_block.nfc", "line 6: expected \"| Service code"},
      {"flipper_bad_system.nfc", "line 5: expected a 4-digit system code"},
      // A .nfc file is told as a broken Flipper dump, never as broken JSON.
      {"garbage.nfc", "not a Flipper FeliCa dump of data format version 2"},
      {"flipper_with_bom.nfc", "not a Flipper FeliCa dump of data format version 2"},
      {"no_such_file.json", "cannot be read: No such file or directory"},
      {"deep_nesting.json", "nested deeper than 64 levels"},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto path = kBroken / c.file;
    EXPECT_FALSE(LoadCardImage(path, error)) << c.file;
    EXPECT_EQ(error.rfind(path.string() + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.place), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(LoadCardImage(kBroken, error));
  EXPECT_EQ(error, kBroken.string() + ": cannot be read: is a folder, not a file");
}

TEST(CardImage, FlipperDumpsImportLikeTheirJsonTwins) {
  if (!std::filesystem::exists(kSharedCards))
    GTEST_SKIP() << "shared/cards is not beside the checkout";
  for (const char* name : {"suica-farebot", "pasmo-farebot", "icoca-farebot"}) {
    std::string error;
    const auto fromJson = LoadCardImage(kSharedCards / (std::string(name) + ".json"), error);
    ASSERT_TRUE(fromJson) << error;
    const auto fromFlipper = LoadCardImage(kSharedCards / (std::string(name) + ".nfc"), error);
    ASSERT_TRUE(fromFlipper) << error;
    EXPECT_EQ(SerializeCardImageJson(*fromFlipper), SerializeCardImageJson(*fromJson)) << name;
  }
  // Saved by an editor that puts a byte order mark first, it reads the same.
  lorvane::testing::TempDir dir;
  std::string error;
  const auto plain = LoadCardImage(kSharedCards / "suica-farebot.nfc", error);
  ASSERT_TRUE(plain) << error;
  std::ifstream in(kSharedCards / "suica-farebot.nfc", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const auto marked = LoadCardImage(dir.Write("marked.nfc", "\xEF\xBB\xBF" + bytes), error);
  ASSERT_TRUE(marked) << error;
  EXPECT_EQ(SerializeCardImageJson(*marked), SerializeCardImageJson(*plain));
}

TEST(ParseHexBytes, AcceptsBlanksBetweenPairsOnly) {
  EXPECT_EQ(ParseHexBytes("0a 0B\t0c"), (std::vector<uint8_t>{0x0A, 0x0B, 0x0C}));
  EXPECT_FALSE(ParseHexBytes("0 a"));
  EXPECT_FALSE(ParseHexBytes("0g"));
  EXPECT_FALSE(ParseHexBytes("abc"));
  EXPECT_EQ(ParseHexBytes(""), std::vector<uint8_t>{});
}

}  // namespace
}  // namespace lorvane::cardimage
