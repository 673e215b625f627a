// SPDX-License-Identifier: MIT
// One contract for every reader plug-in and every reader it serves, through the real pcscd:
// Pellix on both ACR122s, the PC/SC FeliCa plug-in on the RC-S300 and the ACR1252U by each
// way they carry FeliCa commands. The same card gives the same answers, the same statuses and
// the same number of FeliCa commands everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

using vreader::ReaderKind;

struct ReaderSetup {
  const char* name;
  const char* plugin;
  ReaderKind kind;
  const char* faults;  // the virtual reader's, see reader_control.h
  bool escape;         // the reader driver allows escape commands
};

void PrintTo(const ReaderSetup& setup, std::ostream* out) { *out << setup.name; }

// Whether a line of the exchange log sent a FeliCa command, by any reader's framing.
bool CarriesFeliCa(const std::string& sent) {
  for (const char* head : {"FF 00 00 00 ", "FF C2 00 01 "}) {
    if (sent.rfind(head, 0) != 0) continue;
    if (std::string(head) == "FF C2 00 01 ") return true;
    const std::string rest = sent.substr(15);  // after Lc
    return rest.rfind("D4 4A", 0) == 0 || rest.rfind("D4 40", 0) == 0 || rest.rfind("D4", 0) != 0;
  }
  return false;
}

class ReaderContract : public ::testing::TestWithParam<ReaderSetup> {
 protected:
  void SetUp() override {
    const auto runtime = files_.path() / "run";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    cardFile_ = files_.Write("card.json", cardimage::SerializeCardImageJson(TestCard()));
    pcscd_ = std::make_unique<vreader::PrivatePcscd>(1, GetParam().kind, cardFile_);
    ASSERT_TRUE(pcscd_->running()) << "pcscd did not start";
    pcscd_->SetFault(GetParam().faults);
    pcscd_->AllowEscape(GetParam().escape);
    library_ = std::make_unique<lorvane::testing::PluginLibrary>(GetParam().plugin);
    p_ = std::make_unique<Pellix>(*library_);
  }
  void TearDown() override {
    p_.reset();
    library_.reset();
    pcscd_.reset();
    unsetenv("XDG_RUNTIME_DIR");
  }
  bool NeedsCardEvent() const { return GetParam().kind != ReaderKind::kSam; }
  void Lift() {
    pcscd_->RemoveCard();
    if (NeedsCardEvent()) {
      EXPECT_TRUE(pcscd_->WaitForCard(false));
    }
  }
  void Lay(const std::filesystem::path& card) {
    pcscd_->SetCard(card);
    if (NeedsCardEvent()) {
      EXPECT_TRUE(pcscd_->WaitForCard(true));
    }
  }
  size_t FeliCaCommandsSent() {
    const auto lines = pcscd_->TakeExchanges();
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const auto& line) {
      return line.rfind("> ", 0) == 0 && CarriesFeliCa(line.substr(2));
    }));
  }

  lorvane::testing::TempDir files_;
  std::filesystem::path cardFile_;
  std::unique_ptr<vreader::PrivatePcscd> pcscd_;
  std::unique_ptr<lorvane::testing::PluginLibrary> library_;
  std::unique_ptr<Pellix> p_;
};

std::vector<std::pair<uint32_t, uint32_t>> WalkNodes(Pellix& p) {
  std::vector<std::pair<uint32_t, uint32_t>> nodes;
  for (int32_t i = 0; i < 64; ++i) {
    uint32_t code = 0, end = 0;
    if (p.GetServiceCode(i, &code, &end) != FELICA_OK) break;
    nodes.emplace_back(code, end);
  }
  return nodes;
}

TEST_P(ReaderContract, ReadsTheCardAsItIs) {
  ASSERT_EQ(p_->Open(nullptr), FELICA_OK);
  pcscd_->TakeExchanges();
  ASSERT_EQ(p_->REQC(0x0003), FELICA_OK);
  const uint8_t* card = nullptr;
  ASSERT_EQ(p_->SetCurrentCard(0, &card), FELICA_OK);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(Hex(card, 8), Hex(kIdm, 8));
  EXPECT_EQ(Hex(card + 8, 8), Hex(kPmm, 8));
  EXPECT_EQ(p_->GetSystemCode(0), 0x0003);
  EXPECT_EQ(p_->GetSystemCode(1), 0xFE00);
  EXPECT_EQ(p_->GetSystemCode(2), 0xFFFF);

  const auto nodes = WalkNodes(*p_);
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {0x0000, 0xFFFE}, {0x0040, 0x07FF}, {0x0048, 0xFFFF}, {0x008B, 0xFFFF},
      {0x090F, 0xFFFF}, {0x1009, 0xFFFF}, {0x2A0B, 0xFFFF}};
  EXPECT_EQ(nodes, expected);

  std::vector<BlockRef> refs;
  for (uint8_t b = 0; b < 20; ++b) refs.push_back({0x090F, b});
  std::vector<uint8_t> data(16 * 20);
  uint8_t count = 20;
  ASSERT_EQ(p_->Read2(refs.data(), &count, data.data()), FELICA_OK);
  EXPECT_EQ(count, 20);
  for (uint8_t b = 0; b < 20; ++b) {
    const auto block = TestBlock(0x090F, b);
    EXPECT_EQ(Hex(&data[16 * b], 16), Hex(block.data(), 16)) << int{b};
  }
  uint8_t one[16];
  EXPECT_EQ(p_->Read(0x0048, 0, one), FELICA_NOTHING);  // needs a key
  EXPECT_EQ(p_->Read(0x090F, 20, one), FELICA_E_READ);  // past its last block
  // Poll, system codes, 7 nodes and the end, 2 reads of 12 and 8 blocks, 2 refused reads.
  EXPECT_EQ(FeliCaCommandsSent(), 14u);

  ASSERT_EQ(p_->REQC(0xFE00), FELICA_OK);
  ASSERT_EQ(p_->SetCurrentCard(0, &card), FELICA_OK);
  EXPECT_EQ(Hex(card, 8), Hex(kFeIdm, 8));
  EXPECT_EQ(p_->Close(), FELICA_OK);
}

TEST_P(ReaderContract, ALiftedCardIsNoCardAndAnotherCardIsNeverReadAsTheFirst) {
  ASSERT_EQ(p_->REQC(0x0003), FELICA_OK);
  Lift();
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  Lay(cardFile_);
  ASSERT_EQ(p_->REQC(0x0003), FELICA_OK);
  // Another card laid in its place: what is read for the first card's IDm is not its data.
  auto other = TestCard();
  other.idm[7] ^= 0x55;
  for (auto& system : other.systems) system.idm[7] ^= 0x55;
  for (auto& block : other.systems[0].services[2].blocks) block.fill(0xEE);
  Lift();
  Lay(files_.Write("other.json", cardimage::SerializeCardImageJson(other)));
  uint8_t data[16] = {};
  EXPECT_LT(p_->Read(0x090F, 0, data), 0);
  EXPECT_NE(data[0], 0xEE);
  ASSERT_EQ(p_->REQC(0x0003), FELICA_OK);
  const uint8_t* card = nullptr;
  ASSERT_EQ(p_->SetCurrentCard(0, &card), FELICA_OK);
  EXPECT_EQ(card[7], kIdm[7] ^ 0x55);
  ASSERT_EQ(p_->Read(0x090F, 0, data), FELICA_OK);
  EXPECT_EQ(data[0], 0xEE);
}

const ReaderSetup kSetups[] = {
    {"PellixAcr122WithSam", PELLIX_PLUGIN, ReaderKind::kSam, "", false},
    {"PellixAcr122U", PELLIX_PLUGIN, ReaderKind::kPicc, "", false},
    {"Rcs300ByTransmit", PCSCFELICA_PLUGIN, ReaderKind::kRcS300, "", false},
    {"Rcs300ByEscape", PCSCFELICA_PLUGIN, ReaderKind::kRcS300, "transmit-refused", true},
    {"Acr1252ByTransmit", PCSCFELICA_PLUGIN, ReaderKind::kAcr1252, "", false},
    {"Acr1252ByDirectTransmit", PCSCFELICA_PLUGIN, ReaderKind::kAcr1252, "transmit-refused", false},
};

INSTANTIATE_TEST_SUITE_P(Readers, ReaderContract, ::testing::ValuesIn(kSetups),
                         [](const auto& setup) { return std::string(setup.param.name); });

}  // namespace
}  // namespace lorvane::pellix
