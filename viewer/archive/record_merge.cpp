// SPDX-License-Identifier: MIT
#include "viewer/archive/record_merge.h"

#include <algorithm>

namespace lorvane::archive {

void RecordMerger::Run::Index(size_t from) {
  for (size_t i = from; i < records.size(); ++i) positions[records[i]].push_back(i);
}

void RecordMerger::Run::Reindex() {
  positions.clear();
  Index(0);
}

// The overlap of b placed at `offset` on a, when every record in it is the same; 0 otherwise.
size_t RecordMerger::Overlap(const Run& a, const Run& b, long offset) {
  const long first = std::max(0L, offset);
  const long last =
      std::min(static_cast<long>(a.records.size()), offset + static_cast<long>(b.records.size()));
  if (last <= first) return 0;
  for (long p = first; p < last; ++p) {
    if (a.records[static_cast<size_t>(p)] != b.records[static_cast<size_t>(p - offset)]) return 0;
  }
  return static_cast<size_t>(last - first);
}

bool RecordMerger::Align(const Run& a, const Run& b, long& offset) {
  size_t best = 0;
  const auto consider = [&](long candidate) {
    const size_t overlap = Overlap(a, b, candidate);
    if (overlap > best || (overlap == best && overlap > 0 && candidate > offset)) {
      best = overlap;
      offset = candidate;
    }
  };
  if (b.records.empty() || a.records.empty()) return false;
  if (const auto it = a.positions.find(b.records.front()); it != a.positions.end()) {
    for (size_t j : it->second) consider(static_cast<long>(j));
  }
  if (const auto it = b.positions.find(a.records.front()); it != b.positions.end()) {
    for (size_t i : it->second) consider(-static_cast<long>(i));
  }
  return best > 0;
}

// a becomes the union of a and b placed at `offset`.
void RecordMerger::Combine(Run& a, Run&& b, long offset) {
  a.lastAt = std::max(a.lastAt, b.lastAt);
  const auto aSize = static_cast<long>(a.records.size());
  const auto bSize = static_cast<long>(b.records.size());
  if (offset >= 0) {
    if (offset + bSize <= aSize) return;  // b lies inside a
    const size_t from = a.records.size();
    a.records.insert(a.records.end(), std::make_move_iterator(b.records.begin() + (aSize - offset)),
                     std::make_move_iterator(b.records.end()));
    a.Index(from);
    return;
  }
  // b starts before a: its older records, then a, then whatever of b reaches past a.
  std::vector<RawRecord> joined(std::make_move_iterator(b.records.begin()),
                                std::make_move_iterator(b.records.begin() - offset));
  const long bEnd = offset + bSize;
  joined.insert(joined.end(), std::make_move_iterator(a.records.begin()),
                std::make_move_iterator(a.records.end()));
  if (bEnd > aSize) {
    joined.insert(joined.end(), std::make_move_iterator(b.records.begin() + (aSize - offset)),
                  std::make_move_iterator(b.records.end()));
  }
  a.records = std::move(joined);
  a.Reindex();
}

void RecordMerger::Add(const std::vector<RawRecord>& newestFirst, int64_t at) {
  if (newestFirst.empty()) return;
  auto added = std::make_unique<Run>();
  added->records.assign(newestFirst.rbegin(), newestFirst.rend());
  added->lastAt = at;
  added->Reindex();
  // The new read may join several runs (it bridges a gap): merge until none lines up.
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = runs_.begin(); it != runs_.end(); ++it) {
      long offset = 0;
      if (!Align(**it, *added, offset)) continue;
      Combine(**it, std::move(*added), offset);
      added = std::move(*it);
      runs_.erase(it);
      merged = true;
      break;
    }
  }
  runs_.push_back(std::move(added));
}

std::vector<RecordRun> RecordMerger::Runs() const {
  std::vector<const Run*> order;
  for (const auto& run : runs_) order.push_back(run.get());
  std::stable_sort(order.begin(), order.end(),
                   [](const Run* a, const Run* b) { return a->lastAt > b->lastAt; });
  std::vector<RecordRun> runs;
  for (const Run* run : order)
    runs.push_back(
        {std::vector<RawRecord>(run->records.rbegin(), run->records.rend()), run->lastAt});
  return runs;
}

}  // namespace lorvane::archive
