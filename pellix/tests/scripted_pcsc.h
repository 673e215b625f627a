// SPDX-License-Identifier: MIT
// A smart card service in the test process: the PC/SC calls Pellix makes are answered from a
// script of recorded frames, and every APDU sent is checked against the frame expected. The
// test program defines the SCard* functions, so the driver's layers run unchanged, without
// pcscd.
#pragma once

#include <PCSC/winscard.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace lorvane::pellix::testing {

// How a frame reaches the reader.
enum class Way { kT0, kT1, kEscape };

struct Frame {
  Way way;
  std::string sent;   // hexadecimal, "FF 00 .."
  std::string reply;  // hexadecimal
  LONG result = SCARD_S_SUCCESS;
};

struct Connection {
  DWORD share;  // SCARD_SHARE_SHARED or SCARD_SHARE_DIRECT
  LONG result = SCARD_S_SUCCESS;
  DWORD protocol = SCARD_PROTOCOL_T0;  // negotiated
};

// A pseudo-APDU of the SAM reader: "61 L", then GET RESPONSE gives the answer (L counts it).
std::vector<Frame> T0(const std::string& sent, const std::string& answer);
// The same command to the reader without a SAM: one reply.
std::vector<Frame> T1(const std::string& sent, const std::string& answer);
std::vector<Frame> Escape(const std::string& sent, const std::string& answer);

class ScriptedPcsc {
 public:
  // The script every SCard* call of the process reads; reset for each test.
  static ScriptedPcsc& Current();
  void Reset();

  std::vector<std::string> readers = {"ACS ACR122 00 00"};
  LONG listResult = SCARD_S_SUCCESS;
  std::deque<Connection> connections;
  std::deque<Frame> frames;
  // The reader driver's feature list (hexadecimal); empty: the driver answers no such request.
  std::string features;

  void Expect(const std::vector<Frame>& more) {
    frames.insert(frames.end(), more.begin(), more.end());
  }
  // What went differently from the script ("sent X, expected Y"), and the frames not used.
  std::vector<std::string> problems;
  size_t openHandles = 0;

  // The service side of the calls.
  LONG Connect(DWORD share, DWORD wanted, SCARDHANDLE* card, DWORD* protocol);
  LONG Disconnect();
  LONG Exchange(Way way, const uint8_t* sent, DWORD sentLength, uint8_t* answer, DWORD* length);
  LONG List(char** out, DWORD* length, bool groups);

 private:
  DWORD protocol_ = SCARD_PROTOCOL_UNDEFINED;
};

std::vector<uint8_t> BytesOf(const std::string& hex);

}  // namespace lorvane::pellix::testing
