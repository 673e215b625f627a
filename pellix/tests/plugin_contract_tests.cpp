// SPDX-License-Identifier: MIT
// The entry points that need no reader: identification, settings exchange, and the
// library's load and unload.
#include <gtest/gtest.h>

#include <cstring>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

using lorvane::testing::PluginLibrary;

// Without any pcscd the context cannot be established.
class PellixWithoutService : public ::testing::Test {
 protected:
  void SetUp() override {
    vreader::PrivatePcscd::UsePrivateSocket();  // nothing listens there
    library_ = std::make_unique<PluginLibrary>(PELLIX_PLUGIN);
    p_ = std::make_unique<Pellix>(*library_);
  }
  std::unique_ptr<PluginLibrary> library_;
  std::unique_ptr<Pellix> p_;
};

TEST_F(PellixWithoutService, IdentifiesItself) {
  EXPECT_STREQ(p_->GetInformation(0), "NFC card reader control dll");
  EXPECT_STREQ(p_->GetInformation(65536), "NFC card reader control dll");
  EXPECT_STREQ(p_->GetInformation(1), "WIN32");
  EXPECT_STREQ(p_->GetInformation(2), "010");
  EXPECT_STREQ(p_->GetInformation(10), "Advanced Card System Ltd. Readers overlap DLL");
  EXPECT_STREQ(p_->GetInformation(11), "1.00");
  EXPECT_NE(p_->GetInformation(12), nullptr);
  EXPECT_STREQ(p_->GetInformation(13), "2008/04/29");
  EXPECT_STREQ(p_->GetInformation(20), "FeliCa");
  for (int32_t index : {3, 9, 14, 21, 24, 44, -1})
    EXPECT_EQ(p_->GetInformation(index), nullptr) << index;
}

TEST_F(PellixWithoutService, SettingsExchange) {
  EXPECT_EQ(p_->GetSetting(1, 0, nullptr), FELICA_E_FUNCTION);
  EXPECT_EQ(p_->GetSetting(0, 0, nullptr), FELICA_E_PARAMETER);
  IOFeliCaSetting setting{0, nullptr};
  EXPECT_EQ(p_->GetSetting(0, 7, &setting), 0);  // a size query ignores the mode
  EXPECT_EQ(setting.Bytes, FELICA_SETTING_BYTES);
  uint8_t data[FELICA_SETTING_BYTES];
  std::memset(data, 0xAA, sizeof data);
  setting.Data = data;
  EXPECT_EQ(p_->GetSetting(0, 7, &setting), FELICA_E_FUNCTION);
  setting.Bytes = 255;
  EXPECT_EQ(p_->GetSetting(0, 0, &setting), FELICA_E_PARAMETER);
  setting.Bytes = FELICA_SETTING_BYTES;
  EXPECT_EQ(p_->GetSetting(0, 0, &setting), 0);  // before any scan: one zero byte
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(data[1], 0xAA);
  EXPECT_EQ(p_->GetSetting(0, 1, &setting), FELICA_SETTING_CANCELLED);
  EXPECT_EQ(p_->GetSetting(0x10000, 3, &setting), 0);  // only the low 16 bits count
}

TEST_F(PellixWithoutService, NoSmartCardServiceMeansNoContext) {
  EXPECT_EQ(p_->Initialize(0), FELICA_E_NO_CONTEXT);
  EXPECT_EQ(p_->Open(nullptr), FELICA_E_NO_CONTEXT);
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_NO_CONTEXT);
  EXPECT_EQ(p_->Close(), 0);
  EXPECT_EQ(p_->GetReaderName(0), nullptr);
  uint8_t data[16];
  EXPECT_EQ(p_->Read(0x090F, 0, data), FELICA_E_NO_CARD);
  EXPECT_EQ(p_->GetSystemCode(0), 0xFFFF);
  const uint8_t* card = reinterpret_cast<const uint8_t*>(1);
  EXPECT_EQ(p_->SetCurrentCard(0, &card), 0);
  EXPECT_EQ(card, nullptr);
}

TEST(PellixLifetime, LoadsAndUnloadsAThousandTimes) {
  vreader::PrivatePcscd::UsePrivateSocket();
  for (int i = 0; i < 1000; ++i) {
    PluginLibrary library(PELLIX_PLUGIN);
    Pellix p(library);
    ASSERT_EQ(p.Initialize(0), FELICA_E_NO_CONTEXT);
  }
}

TEST(PellixLifetime, ExportsOnlyTheEntryPoints) {
  PluginLibrary library(PELLIX_PLUGIN);
  void* handle = dlopen(PELLIX_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN7lorvane6pellix9AcsReader4OpenEPKc"), nullptr);
  dlclose(handle);
}

}  // namespace
}  // namespace lorvane::pellix
