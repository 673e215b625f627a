// SPDX-License-Identifier: MIT
// Merging the history records of many reads of one card into runs. A card keeps only its
// last records, so each read shows a window of the card's history: reads that share records
// are one stretch of history, and a record seen by several reads is one record. A record is
// known by its raw bytes together with its neighbours: two reads overlap where a stretch of
// their records is the same, byte for byte, in the same order. Records only one read saw are
// kept in the card's order; a read that shares no record with any other starts a run of its
// own, and nothing is invented between runs. The result does not depend on the order reads
// are added in, as long as overlaps are unambiguous.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace lorvane::archive {

// One record's raw bytes.
using RawRecord = std::string;

// A stretch of history: its records newest first, and the latest time a read of it was taken.
struct RecordRun {
  std::vector<RawRecord> records;
  int64_t lastAt = 0;
};

class RecordMerger {
 public:
  // Adds a read's records, newest first (as the card gives them), taken at `at`.
  void Add(const std::vector<RawRecord>& newestFirst, int64_t at);
  // The runs, the most recently read first, each newest record first.
  std::vector<RecordRun> Runs() const;

 private:
  // Records oldest first, so that the usual new read (newer records on top of the known
  // ones) only appends; each record's positions, to find where a read lines up.
  struct Run {
    std::vector<RawRecord> records;
    std::unordered_map<RawRecord, std::vector<size_t>> positions;
    int64_t lastAt = 0;
    void Index(size_t from);
    void Reindex();
  };
  // Where `b` lines up on `a`: b[0] at a[offset] (negative: before a's start), with the
  // longest overlap; false when they share no stretch.
  static bool Align(const Run& a, const Run& b, long& offset);
  static size_t Overlap(const Run& a, const Run& b, long offset);
  static void Combine(Run& a, Run&& b, long offset);

  std::vector<std::unique_ptr<Run>> runs_;
};

}  // namespace lorvane::archive
