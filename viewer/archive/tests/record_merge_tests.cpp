// SPDX-License-Identifier: MIT
// Merging the records of many reads: overlapping windows of one long history in any order
// give the same runs; a read seen again adds nothing; a gap stays a gap until a read bridges
// it; a record repeated inside a window stays where it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "viewer/archive/record_merge.h"

namespace lorvane::archive {
namespace {

RawRecord Record(int n) { return "record-" + std::to_string(n) + std::string(8, '.'); }

// The card's window after `newest` uses: its last `size` records, newest first.
std::vector<RawRecord> Window(int newest, int size) {
  std::vector<RawRecord> records;
  for (int n = newest; n > newest - size && n > 0; --n) records.push_back(Record(n));
  return records;
}

std::vector<RawRecord> Flat(const std::vector<RecordRun>& runs) {
  std::vector<RawRecord> all;
  for (const auto& run : runs) all.insert(all.end(), run.records.begin(), run.records.end());
  return all;
}

TEST(RecordMerge, OverlappingReadsInEveryOrderGiveOneHistory) {
  // Reads every 7 uses of a card that keeps 20 records: 100 uses in all.
  std::vector<std::pair<std::vector<RawRecord>, int64_t>> reads;
  for (int newest = 20; newest <= 100; newest += 7) reads.push_back({Window(newest, 20), newest});
  reads.push_back({Window(100, 20), 100});
  const auto expected = Window(100, 100);
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    RecordMerger merger;
    for (const auto& [records, at] : reads) merger.Add(records, at);
    const auto runs = merger.Runs();
    ASSERT_EQ(runs.size(), 1u) << "round " << round;
    EXPECT_EQ(runs[0].records, expected) << "round " << round;
    EXPECT_EQ(runs[0].lastAt, 100);
    std::shuffle(reads.begin(), reads.end(), random);
  }
}

TEST(RecordMerge, TheSameReadTwiceAddsNothing) {
  RecordMerger merger;
  merger.Add(Window(20, 20), 1);
  merger.Add(Window(20, 20), 2);
  merger.Add(Window(15, 10), 3);  // an older read, inside what is known
  const auto runs = merger.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].records, Window(20, 20));
}

TEST(RecordMerge, AGapIsKeptUntilAReadBridgesIt) {
  RecordMerger merger;
  merger.Add(Window(20, 20), 1);
  merger.Add(Window(60, 20), 2);
  auto runs = merger.Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].records, Window(60, 20));  // the newer run first
  EXPECT_EQ(runs[1].records, Window(20, 20));
  EXPECT_EQ(Flat(runs).size(), 40u);  // nothing invented between them
  merger.Add(Window(45, 30), 3);      // records 16..45: joins both
  runs = merger.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].records, Window(60, 60));
}

TEST(RecordMerge, RepeatedRecordsInsideAWindowAreKept) {
  // The same bytes twice in a row (two identical uses) are two records.
  std::vector<RawRecord> first = {Record(3), Record(2), Record(2), Record(1)};
  std::vector<RawRecord> second = {Record(4), Record(3), Record(2), Record(2)};
  RecordMerger merger;
  merger.Add(first, 1);
  merger.Add(second, 2);
  const auto runs = merger.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].records,
            (std::vector<RawRecord>{Record(4), Record(3), Record(2), Record(2), Record(1)}));
}

TEST(RecordMerge, EmptyReadsAreNoRuns) {
  RecordMerger merger;
  merger.Add({}, 5);
  EXPECT_TRUE(merger.Runs().empty());
}

}  // namespace
}  // namespace lorvane::archive
