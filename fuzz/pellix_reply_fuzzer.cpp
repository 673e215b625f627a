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

using lorvane::pellix::PolledCard;
using lorvane::pellix::Reply;

// A link whose answers come from the input: packets start where the input says, polls find
// a card or none.
class ScriptedLink final : public lorvane::pellix::FeliCaLink {
 public:
  ScriptedLink(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Serves(const std::string&) const override { return true; }
  int16_t Connect() override { return 0; }
  int16_t AttachCard() override { return 0; }
  int16_t Disconnect() override { return 0; }
  bool connected() const override { return true; }
  bool awaitingCard() const override { return false; }
  int16_t PollCard(uint8_t, uint8_t, std::optional<PolledCard>& found) override {
    Reply reply;
    if (Take(reply.bytes.size(), reply) != 0 || reply.length < 16) return 1;
    found = PolledCard{};
    std::memcpy(found->idm.data(), reply.bytes.data(), 8);
    return 0;
  }
  int16_t Transceive(std::span<const uint8_t>, size_t capacity, Reply& reply,
                     int16_t failure) override {
    return Take(capacity, reply) == 0 ? 0 : failure;
  }

 private:
  // Each answer: one byte for the announced length, one for where the packet starts, one for
  // the length actually sent, then that many bytes.
  int Take(size_t capacity, Reply& reply) {
    if (at_ + 3 > size_) return -13;
    reply.announced = data_[at_];
    reply.packet = data_[at_ + 1] % 8;
    const size_t length =
        std::min({size_t{data_[at_ + 2]} * 2, size_ - at_ - 3, capacity, reply.bytes.size()});
    std::memcpy(reply.bytes.data(), data_ + at_ + 3, length);
    reply.length = length;
    at_ += 3 + length;
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
  ScriptedLink link(data, size);
  static lorvane::pellix::PcscConnection status;  // only its status text is used
  lorvane::pellix::FeliCaCommands reader(link, status);
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
