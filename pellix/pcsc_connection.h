// SPDX-License-Identifier: MIT
// The lowest layer of the ACR122 driver: the PC/SC context, reader groups and readers, the
// connection to one reader, the exchange of PN532 commands wrapped in the reader's
// pseudo-APDUs, and the status text every layer writes its outcome to.
//
// Two kinds of reader answer the same pseudo-APDUs. The ACR122 with a SAM is a T=0 reader
// whose "card" is the SAM, always there: it answers "61 L" and the answer is fetched with GET
// RESPONSE. The ACR122U (its PICC interface, no SAM) is a T=1 reader whose "card" exists only
// while a FeliCa card lies on it: it answers in one reply ending 90 00, and without a card
// PC/SC refuses a connection. For that reader a direct connection with the driver's escape
// command takes the pseudo-APDUs when the driver allows it; otherwise the reader waits for a
// card, and every poll tries to connect again.
#pragma once

#include <PCSC/winscard.h>

#include "pellix/status_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lorvane::pellix {

inline constexpr size_t kReplyCapacity = 200;
inline constexpr size_t kReadReplyCapacity = 400;

// What the reader answered to one exchange: the PN532's answer (D5 ..) and its status word.
struct Reply {
  std::array<uint8_t, kReadReplyCapacity> bytes{};
  size_t length = 0;     // bytes received
  size_t announced = 0;  // the answer's length with its status word: L of "61 L", or the
                         // length of a one-reply answer

  // Byte i of the answer, or nothing when the answer is shorter.
  bool Has(size_t i) const { return i < length; }
  uint8_t operator[](size_t i) const { return i < length ? bytes[i] : 0; }
};

// How the PN532 behind the open reader is reached.
enum class Link : uint8_t {
  kNone,          // not connected
  kCard,          // a shared connection (T=0 or T=1): pseudo-APDUs by SCardTransmit
  kEscape,        // a direct connection: pseudo-APDUs by the reader driver's escape command
  kAwaitingCard,  // a reader without a SAM, no card on it: a poll connects when one comes
};

// Whether a reader name is an ACR122 with a SAM, whose "card" is the SAM and always there.
// On any other reader, the ACR122U's PICC interface included, the card is the card in the
// field: without one, PC/SC refuses a connection, and that is no failure.
bool IsSamReader(const std::string& name);

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
  // Connects to the current reader. A reader without a SAM and without a card is reached
  // through the escape command when its driver allows it, else it waits for a card; both
  // are FELICA_OK. Without its SAM, the ACR122 with a SAM refuses (FELICA_E_CONNECT).
  int16_t Connect();
  // For a reader waiting for a card: connects when a card has come. FELICA_OK when the link
  // is ready, FELICA_NOTHING ("Card nothing.") while no card is there.
  int16_t AttachCard();
  int16_t SetRetryTime();
  int16_t Disconnect();

  // Sends one PN532 command (D4 ..) in the direct-transmit pseudo-APDU and takes its answer:
  // "61 L" then GET RESPONSE, or one reply ending 90 00. FELICA_E_TRANSMIT when a
  // transmission fails or the answer is neither; with `unavailableStatus` set, a first
  // transmission that fails because the reader is gone gives that status instead. A reader
  // without a SAM whose card has left goes back to waiting for a card.
  virtual int16_t Exchange(std::span<const uint8_t> pn532Command, size_t capacity, Reply& reply,
                           int16_t unavailableStatus = 0);

  const std::string& statusText() const { return statusText_; }
  void SetStatusText(const std::string& text);
  void ResetStatusText() { SetStatusText(Describe(Outcome::kSuccess).text); }
  // Sets the outcome's text; its status, or `status` where the caller's layer decides it.
  int16_t Report(Outcome outcome);
  int16_t Report(Outcome outcome, int16_t status);
  virtual bool connected() const { return link_ == Link::kCard || link_ == Link::kEscape; }
  Link link() const { return link_; }
  // The reader's firmware version when the escape path asked for it ("ACR122U203").
  const std::string& firmware() const { return firmware_; }
  bool hasContext() const { return context_ != 0; }
  uint32_t groupCount() const { return static_cast<uint32_t>(groupNames_.size()); }
  uint32_t readerCount() const { return static_cast<uint32_t>(readerNames_.size()); }
  uint32_t currentGroup() const { return currentGroup_; }
  uint32_t currentReader() const { return currentReader_; }

 protected:
  int16_t NoContext();
  int16_t ApiError(LONG result, int16_t status);
  void ReleaseReaders();
  void ReleaseGroups();
  // Runs `step`, turning an escaping exception into "Unknown fatal error." and -1.
  template <typename Step>
  int16_t Guarded(Step step);

 private:
  int16_t ListGroups();
  int16_t ListReaders();
  int16_t ConnectSteps();
  LONG ConnectShared();
  int16_t ConnectWithoutCard();
  bool ProbeEscape();
  void DropHandle();
  // One pseudo-APDU and the reader's reply, by the link's way.
  LONG Send(std::span<const uint8_t> apdu, uint8_t* answer, size_t capacity, size_t& received);
  int16_t TakeAnswer(size_t capacity, Reply& reply);

  SCARDCONTEXT context_ = 0;
  SCARDHANDLE card_ = 0;
  Link link_ = Link::kNone;
  DWORD protocol_ = SCARD_PROTOCOL_UNDEFINED;
  std::string readerName_;  // the reader connected to
  std::string firmware_;
  LPSTR groupList_ = nullptr;
  std::vector<const char*> groupNames_;
  uint32_t currentGroup_ = 0;
  LPSTR readerList_ = nullptr;
  std::vector<const char*> readerNames_;
  uint32_t currentReader_ = 0;
  LONG lastResult_ = SCARD_S_SUCCESS;
  std::string statusText_ = Describe(Outcome::kSuccess).text;
  bool groupsListed_ = false;
  bool readersListed_ = false;
};

// The names in a PC/SC multi-string (each NUL-terminated, an empty name at the end).
std::vector<const char*> SplitMultiString(const char* list);

}  // namespace lorvane::pellix
