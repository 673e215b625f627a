// SPDX-License-Identifier: MIT
// The transparent exchange's bytes as the readers' public record gives them, and the
// answer parser against well-formed and broken answers.
#include <gtest/gtest.h>

#include "pellix/tests/hex_text.h"
#include "pellix/tests/scripted_pcsc.h"
#include "pellix/wire_format.h"
#include "plugins/pcscfelica/transparent_frames.h"

namespace lorvane::pcscfelica {
namespace {

using pellix::Hex;
using pellix::testing::BytesOf;
using Kind = TransparentAnswer::Kind;

std::string HexOf(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }

TEST(TransparentFrames, CommandsAreTheBytesReadersTake) {
  EXPECT_EQ(HexOf(ManageSession(kStartSession)), "FF C2 00 00 02 81 00 00");
  EXPECT_EQ(HexOf(ManageSession(kEndSession)), "FF C2 00 00 02 82 00 00");
  EXPECT_EQ(HexOf(SwitchToFeliCa()), "FF C2 00 02 04 8F 02 03 00 00");
  const auto poll = pellix::wire::PollingPacket(0xFE, 0x00);
  EXPECT_EQ(HexOf(TransparentExchange(poll)),
            "FF C2 00 01 0F 5F 46 04 A0 86 01 00 95 06 06 00 FE 00 00 00 00");
  EXPECT_EQ(HexOf(DirectTransmit(poll)), "FF 00 00 00 06 06 00 FE 00 00 00");
  // A frame of 128 bytes or more takes the long length form; past 255 bytes of objects, the
  // extended Lc.
  const std::vector<uint8_t> frame(200, 0xAB);
  const auto exchange = TransparentExchange(frame);
  EXPECT_EQ(HexOf({exchange.begin(), exchange.begin() + 15}),
            "FF C2 00 01 D2 5F 46 04 A0 86 01 00 95 81 C8");
  const auto extended = TransparentExchange(std::vector<uint8_t>(300, 0x01));
  EXPECT_EQ(HexOf({extended.begin(), extended.begin() + 18}),
            "FF C2 00 01 00 01 37 5F 46 04 A0 86 01 00 95 82 01 2C");
  EXPECT_EQ(HexOf({extended.end() - 2, extended.end()}), "00 00");
}

TEST(TransparentFrames, AnAnswerGivesItsStatusAndTheCardsFrame) {
  const auto ok = BytesOf("C0 03 00 90 00 92 01 00 96 02 00 00 97 04 04 01 AA BB 90 00");
  TransparentAnswer a = ParseTransparentAnswer(ok);
  EXPECT_EQ(a.kind, Kind::kOk);
  ASSERT_TRUE(a.hasResponse);
  EXPECT_EQ(Hex(&ok[a.responseAt], a.responseLength), "04 01 AA BB");
  // The card's frame in the long length form.
  std::string long_ = "C0 03 00 90 00 97 81 80";
  for (int i = 0; i < 128; ++i) long_ += " 11";
  a = ParseTransparentAnswer(BytesOf(long_ + " 90 00"));
  EXPECT_EQ(a.kind, Kind::kOk);
  EXPECT_EQ(a.responseLength, 128u);
  // Accepted without a frame (session commands).
  a = ParseTransparentAnswer(BytesOf("C0 03 00 90 00 90 00"));
  EXPECT_EQ(a.kind, Kind::kOk);
  EXPECT_FALSE(a.hasResponse);
}

TEST(TransparentFrames, FailuresAreToldApart) {
  EXPECT_EQ(ParseTransparentAnswer(BytesOf("C0 03 02 64 01 90 00")).kind, Kind::kCardSilent);
  const auto failed = ParseTransparentAnswer(BytesOf("C0 03 01 6A 81 90 00"));
  EXPECT_EQ(failed.kind, Kind::kFailed);
  EXPECT_EQ(failed.object, 1);
  EXPECT_EQ(failed.sw1, 0x6A);
  EXPECT_EQ(failed.sw2, 0x81);
  const auto word = ParseTransparentAnswer(BytesOf("6A 81"));
  EXPECT_EQ(word.kind, Kind::kStatusWord);
  EXPECT_EQ(word.sw1, 0x6A);
}

TEST(TransparentFrames, BrokenAnswersAreMalformedAndNeverReadPastTheirEnd) {
  for (const char* answer : {
           "",                                        // nothing
           "90",                                      // half a status word
           "90 00",                                   // no generic status
           "97 02 01 02 90 00",                       // a frame but no generic status
           "C0 02 00 90 90 00",                       // a generic status of the wrong size
           "C0 03 00 90 00 97 05 01 02 90 00",        // a frame longer than the answer
           "C0 03 00 90 00 97 81 90 00",              // a long length with no room
           "C0 03 00 90 00 97 83 00 00 00 90 00",     // a length form nobody uses
           "C0 03 00 90 00 97 01 01 97 01 02 90 00",  // two frames
           "C0 03 00 90 00 5F 90 00",                 // a two-byte tag cut short
           "C0 03 00 90 00 C0 03 00 90 00 90 00",     // two statuses
       }) {
    const auto bytes = BytesOf(answer);
    EXPECT_EQ(ParseTransparentAnswer(bytes).kind, Kind::kMalformed) << answer;
  }
}

}  // namespace
}  // namespace lorvane::pcscfelica
