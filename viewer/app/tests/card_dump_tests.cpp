// SPDX-License-Identifier: MIT
// The card dump against a card in the test process that answers as a reader plug-in does: a
// card image behind the plug-in calls, which can leave the reader, refuse a service or
// answer nonsense. What the dump makes of it, and how many reads it spends.
#include "viewer/app/card_dump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace lorvane::app {
namespace {

using cardimage::Block;
using cardimage::CardImage;
using cardimage::CardService;
using cardimage::CardSystem;

Block BlockOf(uint16_t service, size_t n) {
  Block b{};
  b[0] = static_cast<uint8_t>(service >> 8);
  b[1] = static_cast<uint8_t>(service);
  b[2] = static_cast<uint8_t>(n);
  return b;
}

CardService Service(uint16_t code, size_t blocks) {
  CardService s{code, {}};
  for (size_t i = 0; i < blocks; ++i) s.blocks.push_back(BlockOf(code, i));
  return s;
}

CardImage TestCard() {
  CardImage card;
  card.idm = {1, 2, 3, 4, 5, 6, 7, 8};
  card.pmm = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};
  CardSystem transit{0x0003, card.idm, {{0x0000, 0xFFFE}, {0x0040, 0x07FF}}, {}};
  transit.services = {Service(0x0048, 0), Service(0x008B, 1), Service(0x090F, 20),
                      Service(0x184B, 36), Service(0x2A0B, 255)};
  CardSystem common{0xFE00, {9, 9, 9, 9, 9, 9, 9, 9}, {}, {Service(0x1317, 12)}};
  card.systems = {transit, common};
  return card;
}

// A card on a reader, through the plug-in calls; reads are counted.
class CardOnReader final : public DumpReader {
 public:
  explicit CardOnReader(CardImage card) : card_(std::move(card)) {}

  int32_t Open() override { return FELICA_OK; }
  int32_t Close() override { return FELICA_OK; }
  int32_t REQC(uint16_t code) override {
    system_ = nullptr;
    if (Gone()) return FELICA_NOTHING;
    if (swapped && calls_ > leaveAfterCalls) {  // another card was laid when it came back
      for (CardSystem& s : card_.systems) s.idm[0] ^= 0xFF;
      swapped = false;
    }
    for (CardSystem& s : card_.systems) {
      if (!cardimage::SystemCodeMatches(code, s.code)) continue;
      system_ = &s;
      std::copy(s.idm.begin(), s.idm.end(), identity_.begin());
      std::copy(card_.pmm.begin(), card_.pmm.end(), identity_.begin() + 8);
      return FELICA_OK;
    }
    return FELICA_NOTHING;
  }
  const uint8_t* CurrentCard() override { return system_ != nullptr ? identity_.data() : nullptr; }
  uint16_t SystemCode(int32_t index) override {
    if (endlessSystems) return 0x0003;
    return static_cast<size_t>(index) < card_.systems.size() ? card_.systems[index].code
                                                             : FELICA_NO_SYSTEM_CODE;
  }
  int32_t ServiceCode(int32_t index, uint32_t* code, uint32_t* end) override {
    *code = 0xFFFF;
    if (Gone()) return FELICA_E_SEARCH;
    const auto nodes = cardimage::SearchOrder(*system_);
    if (endlessNodes) {
      *code = 0x1000 + static_cast<uint32_t>(index), *end = 0xFFFF;  // never FF FF
      return FELICA_OK;
    }
    if (repeatedNodes) {
      *code = 0x1000 + static_cast<uint32_t>(index % 2) * 2, *end = 0xFFFF;
      return FELICA_OK;
    }
    if (shortSearch) return FELICA_E_TRANSMIT;  // an answer too short to hold a code
    if (static_cast<size_t>(index) >= nodes.size()) return FELICA_E_READ;
    *code = nodes[index].code;
    *end = nodes[index].isArea ? nodes[index].end : 0xFFFF;
    return FELICA_OK;
  }
  int32_t Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) override {
    ++reads;
    const size_t n = *count;
    *count = 0;
    if (Gone()) return FELICA_E_TRANSMIT;
    EXPECT_LE(n, kDumpBatchBlocks);
    for (size_t i = 0; i < n; ++i) {
      const CardService* s = system_->FindService(static_cast<uint16_t>(refs[i].ServiceCode));
      if (s == nullptr || s->blocks.empty() || refused == s->code) return FELICA_NOTHING;
      if (truncated == s->code) return FELICA_E_TRANSMIT;  // fewer blocks than it says
      if (refs[i].Block >= s->blocks.size()) return FELICA_E_READ;
    }
    for (size_t i = 0; i < n; ++i) {
      const CardService* s = system_->FindService(static_cast<uint16_t>(refs[i].ServiceCode));
      std::memcpy(data + 16 * i, s->blocks[refs[i].Block].data(), 16);
    }
    *count = static_cast<uint8_t>(n);
    return FELICA_OK;
  }

  size_t reads = 0;
  size_t leaveAfterCalls = SIZE_MAX;  // the card leaves after this many calls
  size_t awayForCalls = SIZE_MAX;     // and answers again after this many more
  bool swapped = false;               // the next poll finds another card
  uint16_t refused = 0;               // a service that refuses reading (01 A6)
  uint16_t truncated = 0;             // a service whose read answers are cut short
  bool endlessSystems = false;
  bool endlessNodes = false;
  bool repeatedNodes = false;
  bool shortSearch = false;

 private:
  bool Gone() {
    const size_t call = calls_++;
    return call >= leaveAfterCalls && call - leaveAfterCalls < awayForCalls;
  }

  CardImage card_;
  CardSystem* system_ = nullptr;
  std::array<uint8_t, 16> identity_{};
  size_t calls_ = 0;
};

// A card that left comes back within a second, polled without a pause.
constexpr DumpLimits kQuickLimits{std::chrono::milliseconds(1000), std::chrono::milliseconds(0)};

DumpResult Dump(CardOnReader& reader, std::vector<std::string>* lines = nullptr,
                const DumpLimits& limits = kQuickLimits) {
  return DumpCard(
      reader,
      [&](const std::string& line) {
        if (lines != nullptr) lines->push_back(line);
      },
      limits);
}

bool SameBlocks(const CardImage& got, const CardImage& want) {
  if (got.systems.size() != want.systems.size()) return false;
  for (size_t s = 0; s < want.systems.size(); ++s) {
    const auto& a = got.systems[s].services;
    const auto& b = want.systems[s].services;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i) {
      const bool readable = (b[i].code & 1) != 0;
      if (a[i].code != b[i].code || (readable && a[i].blocks != b[i].blocks)) return false;
    }
  }
  return true;
}

TEST(CardDump, TakesEverySystemNodeAndReadableBlock) {
  CardOnReader reader(TestCard());
  std::vector<std::string> lines;
  const DumpResult dump = Dump(reader, &lines);
  ASSERT_TRUE(dump.image) << dump.failure;
  const CardImage expected = TestCard();
  EXPECT_EQ(dump.image->idm, expected.idm);
  EXPECT_EQ(dump.image->pmm, expected.pmm);
  ASSERT_EQ(dump.image->systems.size(), 2u);
  for (size_t s = 0; s < 2; ++s) {
    const CardSystem& got = dump.image->systems[s];
    const CardSystem& want = expected.systems[s];
    EXPECT_EQ(got.code, want.code);
    EXPECT_EQ(got.idm, want.idm);  // from the poll of that system
    ASSERT_EQ(got.areas.size(), want.areas.size());
    ASSERT_EQ(got.services.size(), want.services.size());
    for (size_t i = 0; i < want.services.size(); ++i) {
      EXPECT_EQ(got.services[i].code, want.services[i].code);
      EXPECT_EQ(got.services[i].blocks, want.services[i].blocks) << want.services[i].code;
    }
  }
  EXPECT_EQ(dump.image->systems[0].areas[1].end, 0x07FF);
  EXPECT_EQ(lines.front(), "system 0003");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  service 008B: 1 block"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  service 2A0B: 255 blocks"), lines.end());
}

TEST(CardDump, FindsTheEndOfEveryLengthInFewReads) {
  for (size_t n = 1; n <= 40; ++n) {
    CardImage card = TestCard();
    card.systems = {{0x0003, card.idm, {}, {Service(0x090F, n)}}};
    CardOnReader reader(card);
    const DumpResult dump = Dump(reader);
    ASSERT_TRUE(dump.image) << n;
    EXPECT_EQ(dump.image->systems[0].services[0].blocks.size(), n);
    // Whole batches of 12, the refused one, and at most four halvings of it; every refusal
    // is asked twice.
    EXPECT_LE(reader.reads, n / 12 + 2 * (1 + 4)) << n;
  }
}

TEST(CardDump, AServiceThatRefusesReadingIsKeptWithoutBlocks) {
  CardOnReader reader(TestCard());
  reader.refused = 0x090F;
  const DumpResult dump = Dump(reader);
  ASSERT_TRUE(dump.image) << dump.failure;
  const CardService* s = dump.image->systems[0].FindService(0x090F);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->blocks.empty());
  EXPECT_EQ(dump.image->systems[0].FindService(0x0048)->blocks.size(), 0u);  // needs a key
}

TEST(CardDump, ACardThatLeavesAndStaysAwayGivesNoImageAndSaysWhere) {
  {
    CardOnReader reader(TestCard());
    reader.leaveAfterCalls = 0;
    EXPECT_EQ(Dump(reader).failure, "no card on the reader");
  }
  const DumpLimits briefly{std::chrono::milliseconds(5), std::chrono::milliseconds(1)};
  {
    CardOnReader reader(TestCard());
    reader.leaveAfterCalls = 16;  // while the blocks of 090F are read
    const DumpResult dump = Dump(reader, nullptr, briefly);
    EXPECT_FALSE(dump.image);
    EXPECT_EQ(dump.failure.rfind("the card left the reader and did not come back within 5 ms at "
                                 "system 0003, service ",
                                 0),
              0u)
        << dump.failure;
  }
  {
    CardOnReader reader(TestCard());
    reader.leaveAfterCalls = 5;  // during the search of the services
    const DumpResult dump = Dump(reader, nullptr, briefly);
    EXPECT_FALSE(dump.image);
    EXPECT_EQ(dump.failure.rfind("the card left the reader", 0), 0u) << dump.failure;
  }
  // Every call of a whole dump but the last poll: the card left when it was all but done.
  for (size_t calls = 0; calls < 400; ++calls) {
    CardOnReader reader(TestCard());
    reader.leaveAfterCalls = calls;
    const DumpResult dump = Dump(reader, nullptr, briefly);
    if (dump.image) {
      EXPECT_GT(calls, 40u);  // it got through: the card left after the last call
      break;
    }
    EXPECT_FALSE(dump.failure.empty());
  }
}

// A card lifted for a moment at any point of the dump is read again where it left, and the
// image is the same as from a card that never moved; no refusal is made of its absence.
TEST(CardDump, ACardLiftedForAMomentIsReadOnFromWhereItLeft) {
  CardOnReader still(TestCard());
  const DumpResult whole = Dump(still);
  ASSERT_TRUE(whole.image);
  for (size_t away : {1u, 3u, 8u}) {
    for (size_t calls = 1; calls < 300; calls += 7) {
      CardOnReader reader(TestCard());
      reader.leaveAfterCalls = calls;
      reader.awayForCalls = away;
      const DumpResult dump = Dump(reader);
      ASSERT_TRUE(dump.image) << calls << ": " << dump.failure;
      EXPECT_TRUE(SameBlocks(*dump.image, TestCard())) << "lifted at call " << calls;
    }
  }
}

TEST(CardDump, AnotherCardLaidMidDumpEndsIt) {
  CardOnReader reader(TestCard());
  reader.leaveAfterCalls = 16;
  reader.awayForCalls = 2;
  reader.swapped = true;
  const DumpResult dump = Dump(reader);
  EXPECT_FALSE(dump.image);
  EXPECT_EQ(dump.failure.rfind("another card was laid on the reader at system 0003", 0), 0u)
      << dump.failure;
}

TEST(CardDump, NonsenseAnswersEndTheDumpWithAFailure) {
  CardOnReader systems(TestCard());
  systems.endlessSystems = true;
  EXPECT_EQ(Dump(systems).failure, "the card reported system 0003 twice");

  CardOnReader nodes(TestCard());
  nodes.endlessNodes = true;
  EXPECT_EQ(Dump(nodes).failure,
            "the card's search of its services went past 1024 entries at system 0003");

  CardOnReader repeated(TestCard());
  repeated.repeatedNodes = true;
  EXPECT_EQ(Dump(repeated).failure,
            "the card's search of its services gave 1000 twice at system 0003");

  CardOnReader shortSearch(TestCard());
  shortSearch.shortSearch = true;
  EXPECT_EQ(Dump(shortSearch).failure,
            "the card stopped answering the search of its services (status -13) at system 0003");

  CardOnReader truncated(TestCard());
  truncated.truncated = 0x184B;
  EXPECT_EQ(Dump(truncated).failure,
            "reading failed (status -13) at system 0003, service 184B, block 0");
}

TEST(CardDump, ScanTimeIsIsoUtc) {
  const std::string t = ScanTimeNow();
  ASSERT_EQ(t.size(), 20u);
  EXPECT_EQ(t[4], '-');
  EXPECT_EQ(t[10], 'T');
  EXPECT_EQ(t.back(), 'Z');
}

}  // namespace
}  // namespace lorvane::app
