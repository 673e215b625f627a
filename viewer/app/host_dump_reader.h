// SPDX-License-Identifier: MIT
// The card dump's reader: the host's current plug-in, opened on the reader its own settings
// chose, as a card read opens it.
#pragma once

#include "viewer/app/card_dump.h"
#include "viewer/pluginhost/felica_dll_host.h"

namespace lorvane::app {

class HostDumpReader final : public DumpReader {
 public:
  explicit HostDumpReader(pluginhost::FeliCaDLLHost& host) : host_(host) {}

  int32_t Open() override { return host_.ReaderOpen(host_.StoredReaderName()); }
  int32_t Close() override { return host_.ReaderClose(); }
  int32_t REQC(uint16_t systemCode) override { return host_.ReaderREQC(systemCode); }
  const uint8_t* CurrentCard() override {
    const uint8_t* card = nullptr;
    return static_cast<int16_t>(host_.ReaderSetCurrentCard(0, &card)) == FELICA_OK ? card : nullptr;
  }
  uint16_t SystemCode(int32_t index) override {
    return host_.ReaderGetSystemCode(index).value_or(FELICA_NO_SYSTEM_CODE);
  }
  int32_t ServiceCode(int32_t index, uint32_t* code, uint32_t* endCode) override {
    return host_.ReaderGetServiceCode(index, code, endCode);
  }
  int32_t Read2(const BlockRef* refs, uint8_t* count, uint8_t* data) override {
    return host_.ReaderRead2(refs, count, data);
  }

 private:
  pluginhost::FeliCaDLLHost& host_;
};

}  // namespace lorvane::app
