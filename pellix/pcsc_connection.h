// SPDX-License-Identifier: MIT
// The lowest layer of the ACR122 driver: the PC/SC context, reader groups and readers, the
// connection to one reader, the two-step exchange of its pseudo-APDUs (command, then GET
// RESPONSE), and the status text every layer writes its failures to.
#pragma once

#include <PCSC/winscard.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lorvane::pellix {

inline constexpr size_t kReplyCapacity = 200;
inline constexpr size_t kReadReplyCapacity = 400;

// What the reader answered to one exchange.
struct Reply {
  std::array<uint8_t, kReadReplyCapacity> bytes{};
  size_t length = 0;      // bytes received after GET RESPONSE
  uint8_t announced = 0;  // L of the reader's "61 L": the answer's length with its status word

  // Byte i of the answer, or nothing when the answer is shorter.
  bool Has(size_t i) const { return i < length; }
  uint8_t operator[](size_t i) const { return i < length ? bytes[i] : 0; }
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
  int16_t Connect();
  int16_t SetRetryTime();
  int16_t Disconnect();

  // Sends one pseudo-APDU and fetches its answer. -13 when a transmission fails or the
  // first answer is not 61 L; with `unavailableStatus` set, a first transmission that fails
  // because the reader is gone gives that status instead.
  virtual int16_t Exchange(std::span<const uint8_t> command, size_t capacity, Reply& reply,
                           int16_t unavailableStatus = 0);

  const std::string& statusText() const { return statusText_; }
  void SetStatusText(const std::string& text);
  void ResetStatusText() { SetStatusText("Success."); }
  virtual bool connected() const { return card_ != 0; }
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

  SCARDCONTEXT context_ = 0;
  SCARDHANDLE card_ = 0;
  LPSTR groupList_ = nullptr;
  std::vector<const char*> groupNames_;
  uint32_t currentGroup_ = 0;
  LPSTR readerList_ = nullptr;
  std::vector<const char*> readerNames_;
  uint32_t currentReader_ = 0;
  LONG lastResult_ = SCARD_S_SUCCESS;
  std::string statusText_ = "Success.";
  bool groupsListed_ = false;
  bool readersListed_ = false;
};

// The names in a PC/SC multi-string (each NUL-terminated, an empty name at the end).
std::vector<const char*> SplitMultiString(const char* list);

}  // namespace lorvane::pellix
