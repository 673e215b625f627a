// SPDX-License-Identifier: MIT
// The card-image plug-in answers as Pellix does for the same card: the same statuses, codes
// and blocks for the same calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

// Runs the same calls on a plug-in and writes down what came back.
std::vector<std::string> Script(const Pellix& p) {
  std::vector<std::string> out;
  auto note = [&](const std::string& what, long value) {
    out.push_back(what + "=" + std::to_string(value));
  };
  uint8_t data[16 * 40] = {};
  note("REQC 1234", p.REQC(0x1234));
  note("Read without card", p.Read(0x090F, 0, data));
  note("REQC 0003", p.REQC(0x0003));
  const uint8_t* card = nullptr;
  p.SetCurrentCard(0, &card);
  out.push_back("card " + (card != nullptr ? Hex(card, 16) : std::string("none")));
  for (int i = 0; i < 3; ++i) note("system " + std::to_string(i), p.GetSystemCode(i));
  for (int i = 0; i < 8; ++i) {
    uint32_t code = 0, end = 0;
    note("service " + std::to_string(i), p.GetServiceCode(i, &code, &end));
    note("  code", code);
    note("  end", end);
  }
  note("Read 090F/3", p.Read(0x090F, 3, data));
  out.push_back(Hex(data, 16));
  note("Read 0048/0", p.Read(0x0048, 0, data));
  note("Read 090F/20", p.Read(0x090F, 20, data));
  note("Read null", p.Read(0x090F, 0, nullptr));
  std::vector<BlockRef> refs(30, BlockRef{0x2A0B, 0});
  for (uint8_t i = 0; i < 30; ++i) refs[i].Block = i;
  uint8_t count = 30;
  note("Read2 30", p.Read2(refs.data(), &count, data));
  note("  count", count);
  out.push_back(Hex(data + 16 * 29, 16));
  refs[15] = {0x0048, 0};
  count = 30;
  note("Read2 A6 in batch 2", p.Read2(refs.data(), &count, data));
  note("  count", count);
  refs[15] = {0x090F, 25};
  count = 30;
  note("Read2 A8 in batch 2", p.Read2(refs.data(), &count, data));
  note("  count", count);
  const BlockRef writes[2] = {{0x1009, 1}, {0x1009, 2}};
  note("Write2", p.Write2(writes, 2, data));
  note("Write read-only", p.Write(0x090F, 0, data));
  note("Write A6", p.Write(0x0048, 0, data));
  note("Read back", p.Read(0x1009, 2, data + 16));
  out.push_back(Hex(data + 16, 16));
  const uint8_t* other = nullptr;
  note("SetCurrentCard 5", p.SetCurrentCard(5, &other));
  note("Read detached", p.Read(0x090F, 0, data));
  note("Close", p.Close());
  note("system after close", p.GetSystemCode(0));
  return out;
}

TEST_F(PellixTest, CardImagePluginGivesPellixStatuses) {
  const std::vector<std::string> pellix = Script(*p_);
  setenv("LORVANE_CARD_IMAGE", cardFile_.c_str(), 1);
  {
    lorvane::testing::PluginLibrary library(CARDIMAGE_PLUGIN);
    const Pellix cardimage(library);
    const std::vector<std::string> served = Script(cardimage);
    ASSERT_EQ(served.size(), pellix.size());
    for (size_t i = 0; i < served.size(); ++i) EXPECT_EQ(served[i], pellix[i]) << "call " << i;
    EXPECT_STREQ(cardimage.GetInformation(0), "NFC card reader control dll");
    EXPECT_STREQ(cardimage.GetInformation(20), "FeliCa");
    EXPECT_EQ(cardimage.GetInformation(24), nullptr);
    uint8_t settings[FELICA_SETTING_BYTES];
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, settings};
    EXPECT_EQ(cardimage.GetSetting(0, 0, &setting), 0);
    // The image the environment names is no choice of the user's: the settings keep nothing.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(settings)), "");
  }
  unsetenv("LORVANE_CARD_IMAGE");
}

TEST_F(PellixTest, TheSampleCardStepsAsideForARealReader) {
  lorvane::testing::PluginLibrary library(CARDIMAGE_PLUGIN);
  const Pellix cardimage(library);
  EXPECT_EQ(cardimage.Initialize(0), FELICA_E_LIST_READERS);
  EXPECT_EQ(cardimage.Open(nullptr), FELICA_E_LIST_READERS);
  pcscd_->Stop();
  EXPECT_EQ(cardimage.Initialize(0), 0);  // no reader any more: the sample card is served
  EXPECT_NE(cardimage.GetReaderName(0), nullptr);
}

}  // namespace
}  // namespace lorvane::pellix
