// SPDX-License-Identifier: MIT
// Pellix's reading of reader answers: every FeliCa command gets answers taken from the
// input, as a reader that says anything at all would give them. Nothing may be read or
// written outside the reply or the caller's buffers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pellix/felica_commands.h"

namespace {

class ScriptedReader final : public lorvane::pellix::FeliCaCommands {
 public:
  ScriptedReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool connected() const override { return true; }
  int16_t Exchange(std::span<const uint8_t>, size_t capacity, lorvane::pellix::Reply& reply,
                   int16_t unavailableStatus) override {
    // Each answer: one byte for L, one for the length actually sent, then that many bytes.
    if (at_ + 2 > size_) return unavailableStatus != 0 ? unavailableStatus : -13;
    reply.announced = data_[at_];
    const size_t length = std::min({size_t{data_[at_ + 1]} * 2, size_ - at_ - 2, capacity});
    std::memcpy(reply.bytes.data(), data_ + at_ + 2, length);
    reply.length = length;
    at_ += 2 + length;
    return 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The driver's trace lines must not reach a trace viewer (a test's, say) of this user.
  static const int quiet = setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  (void)quiet;
  ScriptedReader reader(data, size);
  const lorvane::pellix::Idm idm{1, 2, 3, 4, 5, 6, 7, 8};
  std::optional<lorvane::pellix::PolledCard> card;
  reader.REQC(0x00, 0x03, card);
  std::vector<std::array<uint8_t, 2>> codes;
  reader.RequestSystemCode(idm, codes);
  uint8_t code[4], end[4];
  reader.SearchServiceCode(idm, 0, code, end);
  const size_t n = size > 0 ? 1 + data[0] % 12 : 1;
  const std::vector<uint16_t> services = {0x090F, 0x1317};
  std::vector<uint8_t> blockList;
  for (size_t i = 0; i < n; ++i)
    blockList.insert(blockList.end(),
                     {static_cast<uint8_t>(0x80 | (i & 1)), static_cast<uint8_t>(i)});
  std::vector<uint8_t> blocks(16 * n);  // exactly n blocks: ASan reports any write past them
  uint8_t received = 0;
  reader.FeliCaRead(idm, services, blockList, blocks.data(), &received);
  if (received > n) __builtin_trap();
  reader.FeliCaWrite(idm, services, blockList, blocks.data());
  return 0;
}
