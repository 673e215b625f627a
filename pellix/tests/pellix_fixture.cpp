// SPDX-License-Identifier: MIT
#include "pellix/tests/pellix_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace lorvane::pellix {
namespace {

const char kGetResponse[] = "FF C0 00 00 ";

}  // namespace

Pellix::Pellix(const lorvane::testing::PluginLibrary& lib)
    : GetInformation(lib.Get<GetInformationFn>(FELICA_EP_GET_INFORMATION)),
      GetSetting(lib.Get<GetSettingFn>(FELICA_EP_GET_SETTING)),
      Initialize(lib.Get<DLL_InitializeFn>(FELICA_EP_INITIALIZE)),
      Open(lib.Get<DLL_OpenFn>(FELICA_EP_OPEN)),
      Close(lib.Get<DLL_CloseFn>(FELICA_EP_CLOSE)),
      GetReaderName(lib.Get<DLL_GetReaderNameFn>(FELICA_EP_GET_READER_NAME)),
      REQC(lib.Get<DLL_REQCFn>(FELICA_EP_REQC)),
      SetCurrentCard(lib.Get<DLL_SetCurrentCardFn>(FELICA_EP_SET_CURRENT_CARD)),
      GetSystemCode(lib.Get<DLL_GetSystemCodeFn>(FELICA_EP_GET_SYSTEM_CODE)),
      GetServiceCode(lib.Get<DLL_GetServiceCodeFn>(FELICA_EP_GET_SERVICE_CODE)),
      Read(lib.Get<DLL_ReadFn>(FELICA_EP_READ)),
      Write(lib.Get<DLL_WriteFn>(FELICA_EP_WRITE)),
      Read2(lib.Get<DLL_Read2Fn>(FELICA_EP_READ2)),
      Write2(lib.Get<DLL_Write2Fn>(FELICA_EP_WRITE2)) {}

cardimage::Block TestBlock(uint16_t service, uint8_t block) {
  cardimage::Block b{};
  b[0] = static_cast<uint8_t>(service >> 8);
  b[1] = static_cast<uint8_t>(service);
  b[2] = block;
  for (size_t i = 3; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7 + block);
  return b;
}

cardimage::CardImage TestCard() {
  cardimage::CardImage card;
  std::copy(std::begin(kIdm), std::end(kIdm), card.idm.begin());
  std::copy(std::begin(kPmm), std::end(kPmm), card.pmm.begin());
  auto service = [](uint16_t code, size_t blocks) {
    cardimage::CardService s{code, {}};
    for (size_t b = 0; b < blocks; ++b)
      s.blocks.push_back(TestBlock(code, static_cast<uint8_t>(b)));
    return s;
  };
  cardimage::CardSystem transit;
  transit.code = 0x0003;
  transit.idm = card.idm;
  transit.areas = {{0x0000, 0xFFFE}, {0x0040, 0x07FF}};
  transit.services = {service(0x0048, 0), service(0x008B, 1), service(0x090F, 20),
                      service(0x1009, 4), service(0x2A0B, 255)};
  cardimage::CardSystem common;
  common.code = 0xFE00;
  std::copy(std::begin(kFeIdm), std::end(kFeIdm), common.idm.begin());
  common.services = {service(0x1317, 1)};
  card.systems = {transit, common};
  return card;
}

PellixTest::PellixTest(size_t readers, ReaderKind kind) : readerCount_(readers), kind_(kind) {}

std::string KindName(const ::testing::TestParamInfo<ReaderKind>& kind) {
  return kind.param == ReaderKind::kPicc ? "WithoutSam" : "WithSam";
}

void PellixTest::SetUp() {
  cardFile_ = files_.Write("card.json", cardimage::SerializeCardImageJson(TestCard()));
  // A trace channel of this test's own: no other program of the user (a viewer, another
  // test's driver) sends to it or takes it over.
  const auto runtime = files_.path() / "run";
  std::filesystem::create_directory(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  trace_ = std::make_unique<vreader::TraceCapture>();
  pcscd_ = std::make_unique<vreader::PrivatePcscd>(readerCount_, kind_, cardFile_);
  ASSERT_TRUE(pcscd_->running()) << "pcscd did not start";
  library_ = std::make_unique<lorvane::testing::PluginLibrary>(PELLIX_PLUGIN);
  p_ = std::make_unique<Pellix>(*library_);
  trace_->Take();
}

void PellixTest::TearDown() {
  p_.reset();
  library_.reset();
  pcscd_.reset();
  trace_.reset();
  unsetenv("XDG_RUNTIME_DIR");
}

std::vector<std::string> PellixTest::Sent(size_t reader) {
  std::vector<std::string> sent;
  for (const auto& line : pcscd_->TakeExchanges(reader)) {
    if (line.rfind("> ", 0) == 0) sent.push_back(line.substr(2));
  }
  return sent;
}

std::vector<std::string> PellixTest::AsSent(std::vector<std::string> toSamReader) const {
  if (kind_ == ReaderKind::kSam) return toSamReader;
  std::erase_if(toSamReader,
                [](const std::string& line) { return line.rfind(kGetResponse, 0) == 0; });
  return toSamReader;
}

void PellixTest::TakeCardAway() {
  pcscd_->RemoveCard();
  if (kind_ == ReaderKind::kPicc) {
    EXPECT_TRUE(pcscd_->WaitForCard(false));
  }
}

void PellixTest::PutCardBack() {
  pcscd_->SetCard(cardFile_);
  if (kind_ == ReaderKind::kPicc) {
    EXPECT_TRUE(pcscd_->WaitForCard(true));
  }
}

std::vector<std::string> PellixTest::Commands(size_t reader) {
  std::vector<std::string> commands;
  for (const auto& line : Sent(reader)) {
    if (line.rfind(kGetResponse, 0) != 0) commands.push_back(line);
  }
  return commands;
}

}  // namespace lorvane::pellix
