// SPDX-License-Identifier: MIT
#include "viewer/readercheck/felica_probe.h"

#include <optional>

#include "cardimage/card_image.h"
#include "pellix/felica_commands.h"
#include "pellix/pcsc_connection.h"
#include "plugins/pcscfelica/pcsc_felica_link.h"
#include "viewer/readercheck/pcsc_survey.h"

namespace lorvane::readercheck {
namespace {

constexpr size_t kExchangesShown = 24;
constexpr uint8_t kAnySystem = 0xFF;

// Keeps the first exchanges as text lines.
class ExchangeRecorder final : public pellix::ExchangeTap {
 public:
  explicit ExchangeRecorder(std::vector<std::string>& lines) : lines_(lines) {}
  void Sent(std::span<const uint8_t> apdu) override { Add("> ", apdu); }
  void Received(std::span<const uint8_t> reply, LONG result) override {
    if (result == SCARD_S_SUCCESS) {
      Add("< ", reply);
    } else if (lines_.size() < kExchangesShown) {
      lines_.push_back("< " + PcscResultText(result));
    }
  }

 private:
  void Add(const char* direction, std::span<const uint8_t> bytes) {
    if (lines_.size() >= kExchangesShown) return;
    std::string line = direction;
    const std::string hex = cardimage::HexBytes(bytes.data(), bytes.size());
    for (size_t i = 0; i < hex.size(); i += 2) line += (i == 0 ? "" : " ") + hex.substr(i, 2);
    lines_.push_back(line);
  }
  std::vector<std::string>& lines_;
};

bool SelectReader(pellix::PcscConnection& pcsc, const std::string& reader) {
  if (pcsc.GetSCReader() < 0) return false;
  for (uint32_t i = 0; i < pcsc.readerCount(); ++i) {
    const char* name = pcsc.GetReaderName(i);
    if (name != nullptr && reader == name) {
      pcsc.SelectReader(i);
      return true;
    }
  }
  return false;
}

}  // namespace

FeliCaProbe ProbeFeliCaReader(const std::string& reader) {
  FeliCaProbe probe;
  probe.reader = reader;
  pellix::PcscConnection pcsc;
  ExchangeRecorder recorder(probe.exchanges);
  pcsc.SetTap(&recorder);
  pcscfelica::PcscFeliCaLink link(pcsc);
  probe.connect = SelectReader(pcsc, reader) ? link.Connect() : int16_t{FELICA_E_CONNECT};
  probe.carrier = pcscfelica::CarrierName(link.carrier());
  probe.awaitingCard = link.awaitingCard();
  probe.status = pcsc.statusText();
  if (probe.connect < 0) return probe;
  pellix::FeliCaCommands commands(link, pcsc);
  std::optional<pellix::PolledCard> card;
  probe.poll = commands.REQC(kAnySystem, kAnySystem, card);
  probe.carrier = pcscfelica::CarrierName(link.carrier());
  if (card) probe.idm = cardimage::HexBytes(card->idm.data(), card->idm.size());
  probe.status = pcsc.statusText();
  link.Disconnect();
  pcsc.SetTap(nullptr);
  return probe;
}

}  // namespace lorvane::readercheck
