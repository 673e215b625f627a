// SPDX-License-Identifier: MIT
// Pellix loaded into the test process, talking to virtual ACR122 readers through a private
// pcscd, with the trace lines captured.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "pellix/tests/hex_text.h"
#include "plugin-api/felica_plugin.h"
#include "testing/support/plugin_library.h"
#include "testing/support/temp_dir.h"
#include "testing/vreader/private_pcscd.h"
#include "testing/vreader/trace_capture.h"

namespace lorvane::pellix {

// The entry points, bound by name.
struct Pellix {
  explicit Pellix(const lorvane::testing::PluginLibrary& lib);
  GetInformationFn GetInformation;
  GetSettingFn GetSetting;
  DLL_InitializeFn Initialize;
  DLL_OpenFn Open;
  DLL_CloseFn Close;
  DLL_GetReaderNameFn GetReaderName;
  DLL_REQCFn REQC;
  DLL_SetCurrentCardFn SetCurrentCard;
  DLL_GetSystemCodeFn GetSystemCode;
  DLL_GetServiceCodeFn GetServiceCode;
  DLL_ReadFn Read;
  DLL_WriteFn Write;
  DLL_Read2Fn Read2;
  DLL_Write2Fn Write2;
};

inline constexpr uint8_t kIdm[8] = {0x01, 0x01, 0x02, 0x14, 0xFB, 0x0B, 0x39, 0x06};
inline constexpr uint8_t kFeIdm[8] = {0x02, 0x01, 0x02, 0x14, 0xFB, 0x0B, 0x39, 0x07};
inline constexpr uint8_t kPmm[8] = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};

// The card the tests use: system 0003 with areas and services 0048 (needs a key), 008B (1
// block), 090F (20 blocks), 1009 (4 writable blocks), 2A0B (255 blocks); system FE00 with its
// own IDm and service 1317. Block b of service s holds s, b and a running pattern.
cardimage::CardImage TestCard();
cardimage::Block TestBlock(uint16_t service, uint8_t block);

using vreader::ReaderKind;

class PellixTest : public ::testing::Test {
 protected:
  explicit PellixTest(size_t readers = 1, ReaderKind kind = ReaderKind::kSam);
  void SetUp() override;
  void TearDown() override;

  // Exchanges with reader i since the last call: only the APDUs sent ("> ..." lines).
  std::vector<std::string> Sent(size_t reader = 0);
  // What a test expects to be sent to a reader with a SAM, as the reader of this test gets
  // it: a reader without one answers at once, with no GET RESPONSE.
  std::vector<std::string> AsSent(std::vector<std::string> toSamReader) const;
  // The commands sent, without the GET RESPONSE that follows each on a reader with a SAM.
  std::vector<std::string> Commands(size_t reader = 0);
  // The card leaves the reader, or comes back; on a reader without a SAM, once pcscd saw it.
  void TakeCardAway();
  void PutCardBack();

  size_t readerCount_;
  ReaderKind kind_;
  lorvane::testing::TempDir files_;
  std::filesystem::path cardFile_;
  std::unique_ptr<vreader::TraceCapture> trace_;
  std::unique_ptr<vreader::PrivatePcscd> pcscd_;
  std::unique_ptr<lorvane::testing::PluginLibrary> library_;
  std::unique_ptr<Pellix> p_;
};

// The tests that hold for both kinds of reader.
class PellixOnEveryReader : public PellixTest, public ::testing::WithParamInterface<ReaderKind> {
 protected:
  PellixOnEveryReader() : PellixTest(1, GetParam()) {}
};

std::string KindName(const ::testing::TestParamInfo<ReaderKind>& kind);

}  // namespace lorvane::pellix
