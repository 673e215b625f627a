// SPDX-License-Identifier: MIT
// The PC/SC FeliCa plug-in's own cases through the real pcscd: reaching a reader with no card
// by the escape command, declining a reader that carries no FeliCa and an ACR122, and two
// plug-ins each serving its own reader side by side.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

using vreader::ReaderKind;
using Lines = std::vector<std::string>;

class PcscFeliCaReaders : public ::testing::Test {
 protected:
  void Start(std::vector<ReaderKind> kinds, bool card = true) {
    const auto runtime = files_.path() / "run";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    cardFile_ = files_.Write("card.json", cardimage::SerializeCardImageJson(TestCard()));
    pcscd_ = std::make_unique<vreader::PrivatePcscd>(std::move(kinds),
                                                     card ? cardFile_ : std::filesystem::path());
    ASSERT_TRUE(pcscd_->running()) << "pcscd did not start";
  }
  std::unique_ptr<Pellix> Load(const char* path) {
    libraries_.push_back(std::make_unique<lorvane::testing::PluginLibrary>(path));
    return std::make_unique<Pellix>(*libraries_.back());
  }
  void TearDown() override {
    libraries_.clear();
    pcscd_.reset();
    unsetenv("XDG_RUNTIME_DIR");
  }
  std::string Entry(size_t reader) const {
    return "\"SCard$DefaultReaders\"\"" + pcscd_->ReaderName(reader) + "\"";
  }
  static std::string SettingsName(Pellix& p) {
    uint8_t data[FELICA_SETTING_BYTES] = {};
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, data};
    EXPECT_EQ(p.GetSetting(0, 0, &setting), 0);
    return reinterpret_cast<const char*>(data);
  }

  lorvane::testing::TempDir files_;
  std::filesystem::path cardFile_;
  std::unique_ptr<vreader::PrivatePcscd> pcscd_;
  std::vector<std::unique_ptr<lorvane::testing::PluginLibrary>> libraries_;
};

TEST_F(PcscFeliCaReaders, WithEscapeARc300PollsWithNoCardOnIt) {
  Start({ReaderKind::kRcS300}, false);
  pcscd_->AllowEscape(true);
  auto p = Load(PCSCFELICA_PLUGIN);
  ASSERT_EQ(p->Open(nullptr), FELICA_OK);
  EXPECT_EQ(p->REQC(0xFFFF), FELICA_NOTHING);
  // The card is laid: the next poll finds it, with no card event in between.
  pcscd_->SetCard(cardFile_);
  ASSERT_EQ(p->REQC(0x0003), FELICA_OK);
  uint8_t data[16];
  ASSERT_EQ(p->Read(0x008B, 0, data), FELICA_OK);
  const auto block = TestBlock(0x008B, 0);
  EXPECT_EQ(Hex(data, 16), Hex(block.data(), 16));
  const Lines sent = pcscd_->TakeExchanges();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], "> FF C2 00 00 02 81 00 00");
  EXPECT_EQ(p->Close(), FELICA_OK);
  const Lines closing = pcscd_->TakeExchanges();
  ASSERT_FALSE(closing.empty());
  EXPECT_EQ(closing.front(), "> FF C2 00 00 02 82 00 00");  // the session ends
}

TEST_F(PcscFeliCaReaders, WithoutEscapeARc300WaitsForACard) {
  Start({ReaderKind::kRcS300}, false);
  auto p = Load(PCSCFELICA_PLUGIN);
  ASSERT_EQ(p->Open(nullptr), FELICA_OK);
  EXPECT_EQ(p->REQC(0xFFFF), FELICA_NOTHING);
  EXPECT_EQ(pcscd_->TakeExchanges(), Lines{});
  pcscd_->SetCard(cardFile_);
  ASSERT_TRUE(pcscd_->WaitForCard(true));
  EXPECT_EQ(p->REQC(0x0003), FELICA_OK);
}

TEST_F(PcscFeliCaReaders, AReaderThatCarriesNoFeliCaIsDeclined) {
  Start({ReaderKind::kPlain});
  pcscd_->AllowEscape(true);
  auto p = Load(PCSCFELICA_PLUGIN);
  ASSERT_EQ(p->Initialize(0), FELICA_OK);
  EXPECT_EQ(p->Open(nullptr), FELICA_E_CONNECT);
  EXPECT_EQ(p->REQC(0xFFFF), FELICA_E_CONNECT);
}

TEST_F(PcscFeliCaReaders, EachPlugInServesItsOwnReader) {
  Start({ReaderKind::kSam, ReaderKind::kRcS300, ReaderKind::kAcr1252});
  auto pellix = Load(PELLIX_PLUGIN);
  auto pcscfelica = Load(PCSCFELICA_PLUGIN);
  // Both list every reader; opened without a name, each takes the first of its own.
  ASSERT_EQ(pellix->Open(nullptr), FELICA_OK);
  ASSERT_EQ(pcscfelica->Open(nullptr), FELICA_OK);
  EXPECT_EQ(SettingsName(*pellix), Entry(0));
  EXPECT_EQ(SettingsName(*pcscfelica), Entry(1));
  ASSERT_EQ(pellix->REQC(0x0003), FELICA_OK);
  ASSERT_EQ(pcscfelica->REQC(0x0003), FELICA_OK);
  EXPECT_FALSE(pcscd_->TakeExchanges(0).empty());
  EXPECT_FALSE(pcscd_->TakeExchanges(1).empty());
  EXPECT_EQ(pcscd_->TakeExchanges(2), Lines{});
  // Named, each opens the other reader of its family, and refuses the other family's.
  EXPECT_EQ(pcscfelica->Close(), FELICA_OK);
  ASSERT_EQ(pcscfelica->Open(Entry(2).c_str()), FELICA_OK);
  ASSERT_EQ(pcscfelica->REQC(0x0003), FELICA_OK);
  EXPECT_FALSE(pcscd_->TakeExchanges(2).empty());
  EXPECT_EQ(pcscfelica->Close(), FELICA_OK);
  EXPECT_EQ(pcscfelica->Open(Entry(0).c_str()), FELICA_E_CONNECT);
  EXPECT_EQ(pellix->Close(), FELICA_OK);
  EXPECT_EQ(pellix->Open(Entry(1).c_str()), FELICA_E_TRANSMIT);
}

TEST_F(PcscFeliCaReaders, AnswersThatDoNotFitAreRefusedWithAStatus) {
  Start({ReaderKind::kRcS300});
  auto p = Load(PCSCFELICA_PLUGIN);
  ASSERT_EQ(p->REQC(0x0003), FELICA_OK);
  for (const char* fault : {"wrong-code", "wrong-idm", "no-response-object", "long-length",
                            "c0-failure", "short-reply"}) {
    pcscd_->SetFault(fault);
    uint8_t data[16];
    std::memset(data, 0x77, sizeof data);
    EXPECT_LT(p->Read(0x090F, 0, data), 0) << fault;
    EXPECT_EQ(data[0], 0x77) << fault;
    EXPECT_NE(p->REQC(0x0003), FELICA_OK) << fault;
  }
  pcscd_->SetFault("");
  ASSERT_EQ(p->REQC(0x0003), FELICA_OK);
  uint8_t data[16];
  EXPECT_EQ(p->Read(0x090F, 0, data), FELICA_OK);
}

TEST_F(PcscFeliCaReaders, IdentifiesItself) {
  Start({});
  auto p = Load(PCSCFELICA_PLUGIN);
  EXPECT_STREQ(p->GetInformation(0), "NFC card reader control dll");
  EXPECT_STREQ(p->GetInformation(2), "010");
  EXPECT_STREQ(p->GetInformation(10),
               "PC/SC FeliCa readers: Sony RC-S300, ACS ACR1252U and others");
  EXPECT_STREQ(p->GetInformation(20), "FeliCa");
  EXPECT_EQ(p->Initialize(0), FELICA_E_LIST_READERS);  // no reader at all
  EXPECT_EQ(p->Open(nullptr), FELICA_E_LIST_READERS);
}

}  // namespace
}  // namespace lorvane::pellix
