// SPDX-License-Identifier: MIT
#include "viewer/archive/stored_read.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace lorvane::archive {
namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr uint64_t kFnvPrime = 1099511628211ULL;

struct Fnv {
  uint64_t hash = kFnvOffset;
  void Add(const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) hash = (hash ^ bytes[i]) * kFnvPrime;
  }
  void Add(uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Add(bytes, 2);
  }
};

}  // namespace

uint64_t StoredRead::Digest() const {
  Fnv fnv;
  fnv.Add(idm.data(), idm.size());
  fnv.Add(pmm.data(), pmm.size());
  for (const StoredSystem& system : systems) {
    fnv.Add(system.code);
    fnv.Add(system.idm.data(), system.idm.size());
  }
  std::vector<const StoredBlock*> sorted;
  for (const StoredBlock& block : blocks) sorted.push_back(&block);
  std::sort(sorted.begin(), sorted.end(), [](const StoredBlock* a, const StoredBlock* b) {
    return std::tie(a->system, a->service, a->number) < std::tie(b->system, b->service, b->number);
  });
  for (const StoredBlock* block : sorted) {
    fnv.Add(block->system);
    fnv.Add(block->service);
    fnv.Add(block->number);
    fnv.Add(block->data.data(), block->data.size());
  }
  return fnv.hash;
}

StoredRead FromCardImage(const cardimage::CardImage& image, int64_t readAt) {
  StoredRead read;
  read.idm = image.idm;
  read.pmm = image.pmm;
  read.readAt = readAt;
  read.imported = true;
  for (const cardimage::CardSystem& system : image.systems) {
    read.systems.push_back({system.code, system.idm});
    for (const cardimage::CardService& service : system.services) {
      for (size_t b = 0; b < service.blocks.size(); ++b) {
        read.blocks.push_back(
            {system.code, service.code, static_cast<uint16_t>(b), service.blocks[b]});
      }
    }
  }
  return read;
}

cardimage::CardImage ToCardImage(const StoredRead& read) {
  cardimage::CardImage image;
  image.idm = read.idm;
  image.pmm = read.pmm;
  std::map<std::pair<uint16_t, uint16_t>, std::map<uint16_t, Block>> services;
  for (const StoredBlock& block : read.blocks)
    services[{block.system, block.service}][block.number] = block.data;
  for (const StoredSystem& stored : read.systems) {
    cardimage::CardSystem system;
    system.code = stored.code;
    system.idm = stored.idm;
    for (const auto& [key, blocks] : services) {
      if (key.first != stored.code) continue;
      cardimage::CardService service{key.second, {}};
      for (uint16_t b = 0; blocks.count(b) != 0; ++b) service.blocks.push_back(blocks.at(b));
      system.services.push_back(std::move(service));
    }
    std::sort(system.services.begin(), system.services.end(),
              [](const auto& a, const auto& b) { return a.code < b.code; });
    image.systems.push_back(std::move(system));
  }
  return image;
}

}  // namespace lorvane::archive
