// SPDX-License-Identifier: MIT
// The PC/SC transport every reader driver stands on: the context, reader groups and readers,
// the connection to one reader (shared, with a card or the reader's SAM; or direct, for the
// reader driver's escape command without a card), one APDU sent and its reply received, and
// the status text every layer writes its outcome to. What the APDUs hold is the business of
// the reader family's link (felica_link.h).
#pragma once

#include <PCSC/winscard.h>

#include "pellix/status_table.h"

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace lorvane::pellix {

// How the open reader is reached.
enum class Link : uint8_t {
  kNone,          // not connected
  kCard,          // a shared connection (T=0 or T=1): APDUs by SCardTransmit
  kEscape,        // a direct connection: APDUs by the reader driver's escape command
  kAwaitingCard,  // a reader that needs a card to be reached, none on it: a poll connects
};

// Sees every APDU sent and every reply, for a reader check that shows them.
class ExchangeTap {
 public:
  virtual void Sent(std::span<const uint8_t> apdu) = 0;
  virtual void Received(std::span<const uint8_t> reply, LONG result) = 0;

 protected:
  ~ExchangeTap() = default;
};

class PcscConnection {
 public:
  PcscConnection();
  virtual ~PcscConnection();
  PcscConnection(const PcscConnection&) = delete;
  PcscConnection& operator=(const PcscConnection&) = delete;

  int16_t GetSCReaderGroup();
  const char* GetSCReaderGroupName(uint32_t index);
  // Makes the group current and lists its readers; the listing status (0 when the index is
  // out of range and nothing happens).
  int16_t SelectGroup(uint32_t index);
  int16_t GetSCReader();
  const char* GetReaderName(uint32_t index);
  void SelectReader(uint32_t index);

  // Takes the current reader as the one to connect to: FELICA_OK, or the status of a
  // missing context or reader list.
  int16_t ChooseReader();
  // A shared connection offering T=0 and T=1 (needs a card, or the reader's SAM), and a
  // direct one (no card needed; only the escape command reaches the reader). The PC/SC
  // result; on success the link is kCard or kEscape.
  LONG ConnectShared();
  LONG ConnectDirect();
  // No card on the reader: the link waits for one.
  void AwaitCard() { link_ = Link::kAwaitingCard; }
  void DropHandle();
  int16_t Disconnect();
  // The escape command's control code on this reader (pcsc-lite's SCARD_CTL_CODE(1) unless
  // the reader driver names another).
  void SetEscapeCode(DWORD code) { escapeCode_ = code; }
  DWORD escapeCode() const { return escapeCode_; }

  // One APDU by the link's way (SCardTransmit on kCard, the escape command on kEscape); the
  // reply, at most `capacity` bytes, goes to `answer`, its length to `received`.
  LONG Send(std::span<const uint8_t> apdu, uint8_t* answer, size_t capacity, size_t& received);
  // SCardControl with any control code on the open handle.
  LONG Control(DWORD code, std::span<const uint8_t> input, uint8_t* answer, size_t capacity,
               size_t& received);
  // Every exchange from now on is shown to `tap` (null: to nobody); the tap outlives them.
  void SetTap(ExchangeTap* tap) { tap_ = tap; }
  // The reader driver's escape control code announced in its feature list (tag 0x13), or 0
  // when it announces none (the driver does not allow escapes).
  DWORD AnnouncedEscapeCode();

  const std::string& statusText() const { return statusText_; }
  void SetStatusText(const std::string& text);
  void ResetStatusText() { SetStatusText(Describe(Outcome::kSuccess).text); }
  // Sets the outcome's text; its status, or `status` where the caller's layer decides it.
  int16_t Report(Outcome outcome);
  int16_t Report(Outcome outcome, int16_t status);
  // Sets the text of a failed PC/SC call; `status`.
  int16_t ApiError(LONG result, int16_t status);
  int16_t NoContext();
  // Runs `step`, turning an escaping exception into a status and its text.
  template <typename Step>
  int16_t Guarded(Step step) {
    try {
      return step();
    } catch (const std::bad_alloc&) {
      return Report(Outcome::kMemory);
    } catch (...) {
      return Report(Outcome::kUnknownFatal);
    }
  }

  Link link() const { return link_; }
  LONG lastResult() const { return lastResult_; }
  void SetLastResult(LONG result) { lastResult_ = result; }
  const std::string& readerName() const { return readerName_; }
  DWORD protocol() const { return protocol_; }
  bool hasContext() const { return context_ != 0; }
  bool hasHandle() const { return card_ != 0; }
  uint32_t groupCount() const { return static_cast<uint32_t>(groupNames_.size()); }
  uint32_t readerCount() const { return static_cast<uint32_t>(readerNames_.size()); }
  uint32_t currentGroup() const { return currentGroup_; }
  uint32_t currentReader() const { return currentReader_; }
  void ReleaseReaders();
  void ReleaseGroups();

 private:
  int16_t ListGroups();
  int16_t ListReaders();
  LONG ConnectWith(DWORD share, DWORD protocols, Link link);

  SCARDCONTEXT context_ = 0;
  SCARDHANDLE card_ = 0;
  Link link_ = Link::kNone;
  DWORD protocol_ = SCARD_PROTOCOL_UNDEFINED;
  DWORD escapeCode_;
  std::string readerName_;  // the reader connected to
  LPSTR groupList_ = nullptr;
  std::vector<const char*> groupNames_;
  uint32_t currentGroup_ = 0;
  LPSTR readerList_ = nullptr;
  std::vector<const char*> readerNames_;
  uint32_t currentReader_ = 0;
  LONG lastResult_ = SCARD_S_SUCCESS;
  std::string statusText_ = Describe(Outcome::kSuccess).text;
  ExchangeTap* tap_ = nullptr;
  bool groupsListed_ = false;
  bool readersListed_ = false;
};

// The names in a PC/SC multi-string (each NUL-terminated, an empty name at the end).
std::vector<const char*> SplitMultiString(const char* list);

}  // namespace lorvane::pellix
