// SPDX-License-Identifier: MIT
// Reader discovery, opening and closing, and the reader faults, through the real pcscd.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "pellix/tests/pellix_fixture.h"

namespace lorvane::pellix {
namespace {

const char kGroup[] = "\"SCard$DefaultReaders\"";
using Lines = std::vector<std::string>;

std::string Entry(const std::string& reader) { return kGroup + ("\"" + reader + "\""); }

class PellixTwoReaders : public PellixTest {
 protected:
  PellixTwoReaders() : PellixTest(2) {}
  std::string SettingsName() {
    uint8_t data[FELICA_SETTING_BYTES];
    IOFeliCaSetting setting{FELICA_SETTING_BYTES, data};
    EXPECT_EQ(p_->GetSetting(0, 0, &setting), 0);
    EXPECT_EQ(data[FELICA_SETTING_BYTES - 1], 0);
    return reinterpret_cast<const char*>(data);
  }
};

TEST_F(PellixTwoReaders, ListsEveryReaderOfEveryGroup) {
  ASSERT_EQ(p_->Initialize(0), 0);
  EXPECT_EQ(p_->GetReaderName(0), Entry(pcscd_->ReaderName(0)));
  EXPECT_EQ(p_->GetReaderName(1), Entry(pcscd_->ReaderName(1)));
  EXPECT_EQ(p_->GetReaderName(2), nullptr);
  EXPECT_EQ(p_->GetReaderName(-1), nullptr);
  EXPECT_EQ(SettingsName(), Entry(pcscd_->ReaderName(0)));
  const Lines trace = trace_->Take();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.front(), "GetSCReaderGroup() : Success.\n");
}

TEST_F(PellixTwoReaders, OpensTheReaderNamedIgnoringCase) {
  std::string name = Entry(pcscd_->ReaderName(1));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_EQ(p_->Open(name.c_str()), 0);
  EXPECT_EQ(Sent(0), Lines{});
  EXPECT_EQ(Sent(1), (Lines{"FF 00 00 00 06 D4 32 05 00 00 00", "FF C0 00 00 04"}));
  EXPECT_EQ(SettingsName(), Entry(pcscd_->ReaderName(1)));
  EXPECT_EQ(p_->Open(nullptr), FELICA_ALREADY_OPEN);
  // Rescanning while open keeps the connection but the settings name entry 0 again.
  ASSERT_EQ(p_->Initialize(0), 0);
  EXPECT_EQ(SettingsName(), Entry(pcscd_->ReaderName(0)));
  ASSERT_EQ(p_->REQC(0x0003), 0);
  EXPECT_EQ(Sent(0), Lines{});
  EXPECT_FALSE(Sent(1).empty());
  // After a close, a poll opens the default reader.
  EXPECT_EQ(p_->Close(), 0);
  ASSERT_EQ(p_->REQC(0x0003), 0);
  EXPECT_FALSE(Sent(0).empty());
}

TEST_F(PellixTwoReaders, ANameThatMatchesNothingOpensTheDefaultReader) {
  ASSERT_EQ(p_->Open("\"nobody\"\"nothing\""), 0);
  EXPECT_FALSE(Sent(0).empty());
  EXPECT_EQ(Sent(1), Lines{});
}

TEST_P(PellixOnEveryReader, OpenCloseAndReopen) {
  EXPECT_EQ(p_->Close(), 0);  // nothing open
  ASSERT_EQ(p_->Open(nullptr), 0);
  EXPECT_EQ(p_->Close(), 0);
  EXPECT_EQ(p_->Close(), 0);
  uint8_t data[16];
  EXPECT_EQ(p_->Read(0x090F, 0, data), FELICA_E_NO_CARD);
  ASSERT_EQ(p_->Open(nullptr), 0);
  EXPECT_EQ(p_->REQC(0x0003), 0);
  const Lines trace = trace_->Take();
  EXPECT_NE(std::find(trace.begin(), trace.end(), "Disconnect() : Success."), trace.end());
  EXPECT_NE(std::find(trace.begin(), trace.end(), "Disconnect() : Already disconnected."),
            trace.end());
}

TEST_F(PellixTest, ConnectRefusedWhenTheReaderHasNoCardSlotAnswer) {
  pcscd_->SetFault("no-sam");
  ASSERT_TRUE(pcscd_->WaitForCard(false));
  EXPECT_EQ(p_->Open(nullptr), FELICA_E_CONNECT);
  const Lines trace = trace_->Take();
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace.end()[-2], "Connect() : SmartCard API Error : -2146435060 (0x8010000C)");
  EXPECT_EQ(trace.back(), "Disconnect() : Already disconnected.");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_CONNECT);
}

TEST_P(PellixOnEveryReader, ReaderUnpluggedWhilePolling) {
  ASSERT_EQ(p_->Open(nullptr), 0);
  pcscd_->SetFault("unplugged");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_READER_GONE);
}

TEST_P(PellixOnEveryReader, TransmissionErrors) {
  ASSERT_EQ(p_->Open(nullptr), 0);
  pcscd_->SetFault("comm-error");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_TRANSMIT);
  pcscd_->SetFault("reader-error");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_TRANSMIT);
  const Lines trace = trace_->Take();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), "REQC(0003) : Reader Error : 63,00.");
}

INSTANTIATE_TEST_SUITE_P(Readers, PellixOnEveryReader,
                         ::testing::Values(ReaderKind::kSam, ReaderKind::kPicc), KindName);

class PellixWithoutSam : public PellixTest {
 protected:
  PellixWithoutSam() : PellixTest(1, ReaderKind::kPicc) {}
  const Lines kFirstCommands = {"FF 00 00 00 06 D4 32 05 00 00 00",
                                "FF 00 00 00 09 D4 4A 01 01 00 00 03 00 00",
                                "FF 00 00 00 0D D4 40 01 0A 0C 01 01 02 14 FB 0B 39 06"};
};

TEST_F(PellixWithoutSam, WithoutACardTheReaderWaitsForOne) {
  TakeCardAway();
  ASSERT_EQ(p_->Open(nullptr), 0);  // the driver refuses escape commands: nothing reached it
  EXPECT_EQ(Sent(), Lines{});
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  EXPECT_EQ(trace_->TakeLast(), "REQC(0003) : Card nothing.");
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  PutCardBack();
  EXPECT_EQ(p_->REQC(0x0003), 0);
  EXPECT_EQ(Sent(), kFirstCommands);
}

TEST_F(PellixWithoutSam, WithEscapeCommandsItPollsWithoutACard) {
  pcscd_->AllowEscape(true);
  TakeCardAway();
  ASSERT_EQ(p_->Open(nullptr), 0);
  EXPECT_EQ(Sent(), (Lines{"FF 00 48 00 00", "FF 00 00 00 06 D4 32 05 00 00 00"}));
  EXPECT_EQ(p_->REQC(0x0003), FELICA_NOTHING);
  pcscd_->SetCard(cardFile_);  // the escape reaches the reader at once: no wait for pcscd
  EXPECT_EQ(p_->REQC(0x0003), 0);
  uint8_t data[16];
  EXPECT_EQ(p_->Read(0x090F, 0, data), 0);
  Lines sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(Lines(sent.begin() + 1, sent.end() - 1),
            Lines(kFirstCommands.begin() + 1, kFirstCommands.end()));
}

class PellixNoReader : public PellixTest {
 protected:
  PellixNoReader() : PellixTest(0) {}
};

TEST_F(PellixNoReader, NoReaderAttached) {
  EXPECT_EQ(p_->Initialize(0), FELICA_E_LIST_READERS);
  EXPECT_EQ(p_->GetReaderName(0), nullptr);
  EXPECT_EQ(p_->Open(nullptr), FELICA_E_LIST_READERS);
  EXPECT_EQ(p_->REQC(0x0003), FELICA_E_LIST_READERS);
  const Lines trace = trace_->Take();
  EXPECT_NE(std::find(trace.begin(), trace.end(),
                      "GetSCReader() : SmartCard API Error : -2146435026 (0x8010002E)\n"),
            trace.end());
}

}  // namespace
}  // namespace lorvane::pellix
