// SPDX-License-Identifier: MIT
#include "testing/support/transit_card.h"

namespace lorvane::testing {
namespace {

constexpr uint8_t kTicketGate = 0x16;
constexpr uint8_t kChargeMachine = 0x09;
constexpr uint8_t kFare = 0x01;
constexpr uint8_t kCharge = 0x02;
constexpr int kFirstBalance = 10000;

bool IsCharge(int use) { return use % 10 == 0; }

// The transit record: terminal, kind, date (7-bit year, 4-bit month, 5-bit day), stations,
// balance little-endian, serial.
cardimage::Block Use(int n, int balance) {
  const int day = (n - 1) % 28 + 1, month = (n - 1) / 28 % 12 + 1, year = 20 + (n - 1) / 336;
  const auto date = static_cast<uint16_t>(year << 9 | month << 5 | day);
  return {IsCharge(n) ? kChargeMachine : kTicketGate,
          IsCharge(n) ? kCharge : kFare,
          0,
          0,
          static_cast<uint8_t>(date >> 8),
          static_cast<uint8_t>(date),
          0x01,
          0x02,
          0x01,
          0x05,
          static_cast<uint8_t>(balance),
          static_cast<uint8_t>(balance >> 8),
          0,
          static_cast<uint8_t>(n >> 8),
          static_cast<uint8_t>(n),
          0};
}

}  // namespace

int TransitBalance(int uses) {
  int balance = kFirstBalance;
  for (int n = 1; n <= uses; ++n) balance += IsCharge(n) ? 1890 : -210;
  return balance;
}

cardimage::CardImage TransitCard(int uses, const std::array<uint8_t, 8>& idm) {
  cardimage::CardImage card;
  card.idm = idm;
  card.pmm = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};
  cardimage::CardSystem system;
  system.code = 0x0003;
  system.idm = idm;
  const int balance = TransitBalance(uses);
  cardimage::Block attributes{};
  attributes[8] = 0x20;
  attributes[11] = static_cast<uint8_t>(balance);
  attributes[12] = static_cast<uint8_t>(balance >> 8);
  cardimage::CardService history{0x090F, {}};
  for (int n = uses; n > uses - static_cast<int>(kTransitRecords); --n)
    history.blocks.push_back(n > 0 ? Use(n, TransitBalance(n)) : cardimage::Block{});
  system.services = {{0x008B, {attributes}}, history};
  card.systems = {system};
  return card;
}

}  // namespace lorvane::testing
