// SPDX-License-Identifier: MIT
// lorvane --check-reader against the real pcscd and the virtual readers: each trouble a user
// can meet is told apart, with its fix, and the exit status says whether a reader is usable.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "testing/support/program_folder.h"
#include "testing/support/program_runner.h"
#include "testing/vreader/private_pcscd.h"

namespace lorvane::readercheck {
namespace {

namespace fs = std::filesystem;
using lorvane::testing::ProgramResult;
using vreader::PrivatePcscd;
using vreader::ReaderKind;

class CheckReaderProgram : public ::testing::Test {
 protected:
  ProgramResult Check(bool verbose = false) {
    if (verbose)
      return lorvane::testing::RunProgram(program_.Lorvane(), {"--check-reader", "--verbose"});
    return lorvane::testing::RunProgram(program_.Lorvane(), {"--check-reader"});
  }
  fs::path Card() const { return program_.dir().path() / "samples/sample-transit.json"; }
  static bool Says(const ProgramResult& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
  }

  lorvane::testing::ProgramFolder program_{LORVANE_BIN_DIR};
};

TEST_F(CheckReaderProgram, NoServiceAndNoReader) {
  PrivatePcscd::UsePrivateSocket();  // nobody listens there yet
  const ProgramResult down = Check();
  EXPECT_EQ(down.status, 1);
  EXPECT_TRUE(Says(down, "PC/SC service: does not answer")) << down.out;
  EXPECT_TRUE(Says(down, "sudo apt install pcscd")) << down.out;

  PrivatePcscd pcscd(0);
  ASSERT_TRUE(pcscd.running());
  const ProgramResult none = Check();
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(Says(none, "PC/SC service: answers.")) << none.out;
  EXPECT_TRUE(Says(none, "Readers: the PC/SC service lists none")) << none.out;
  EXPECT_TRUE(Says(none, "Result: no usable reader.")) << none.out;
}

// A stopped pcscd still accepts on its socket and never answers: --check-reader, --read and
// --dump each end after the 10 s bound with a message that names the service and the fix.
TEST_F(CheckReaderProgram, AStoppedServiceIsToldWithinTheBound) {
  PrivatePcscd pcscd(1, ReaderKind::kSam, Card());
  ASSERT_TRUE(pcscd.running());
  pcscd.Pause(true);
  const auto started = std::chrono::steady_clock::now();
  auto check = std::async(std::launch::async, [&] { return Check(); });
  auto read = std::async(std::launch::async, [&] {
    return lorvane::testing::RunProgram(program_.Lorvane(), {"--read"});
  });
  const fs::path out = program_.dir().path() / "dump.json";
  auto dump = std::async(std::launch::async, [&] {
    return lorvane::testing::RunProgram(program_.Lorvane(), {"--dump", out.string()});
  });
  const ProgramResult checked = check.get(), r = read.get(), d = dump.get();
  pcscd.Pause(false);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(took, std::chrono::seconds(60));  // the bound, not forever
  EXPECT_EQ(checked.status, 1);
  EXPECT_TRUE(Says(checked, "PC/SC service: did not answer within 10 s")) << checked.out;
  EXPECT_TRUE(Says(checked, "sudo systemctl restart pcscd")) << checked.out;
  const std::string told = "the PC/SC service (pcscd) did not answer within 10 s: restart it";
  EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
  EXPECT_EQ(d.status, 1);
  EXPECT_NE(d.err.find(told), std::string::npos) << d.err;
  EXPECT_FALSE(fs::exists(out));
}

// Something on the service's socket that answers, but not as pcscd does, is not "install
// pcscd".
TEST_F(CheckReaderProgram, ASocketAnsweringGarbageIsNotTakenForAMissingService) {
  const fs::path socketPath = program_.dir().path() / "not-pcscd.comm";
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 8), 0);
  std::thread answering([server] {
    for (;;) {
      const int client = accept(server, nullptr, nullptr);
      if (client < 0) return;
      // The client's whole first message (a header and a version, 20 bytes), then garbage;
      // the socket is closed only after the client let go, so no unread byte resets it.
      char request[64];
      size_t got = 0;
      for (ssize_t n = 1; got < 20 && n > 0; got += static_cast<size_t>(std::max<ssize_t>(n, 0)))
        n = read(client, request, sizeof request);
      const char garbage[] = "HTTP/1.0 400 Bad Request\r\n\r\n";
      if (write(client, garbage, sizeof garbage - 1) >= 0) {
        while (read(client, request, sizeof request) > 0) {
        }
      }
      close(client);
    }
  });
  const ProgramResult r = lorvane::testing::RunProgramAfter(
      "PCSCLITE_CSOCK_NAME=" + socketPath.string(), program_.Lorvane(), {"--check-reader"});
  shutdown(server, SHUT_RDWR);
  close(server);
  answering.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Says(r, "PC/SC service: something answers on its socket " + socketPath.string()))
      << r.out;
  EXPECT_FALSE(Says(r, "sudo apt install pcscd")) << r.out;
}

TEST_F(CheckReaderProgram, TheSamReaderWithAndWithoutACard) {
  PrivatePcscd pcscd(1);
  ASSERT_TRUE(pcscd.running());
  const ProgramResult empty = Check();
  EXPECT_EQ(empty.status, 0) << empty.out << empty.err;
  EXPECT_TRUE(Says(empty, "  ACS ACR122 00 00 (ACR122 with a SAM)")) << empty.out;
  EXPECT_TRUE(Says(empty, "Pellix uses: ACS ACR122 00 00.")) << empty.out;
  EXPECT_TRUE(Says(empty, "Card: none on the reader.")) << empty.out;
  EXPECT_FALSE(Says(empty, "Polling without a card")) << empty.out;

  pcscd.SetCard(Card());
  const ProgramResult card = Check();
  EXPECT_EQ(card.status, 0);
  EXPECT_TRUE(Says(card, "Card: a FeliCa card lies on the reader (IDm 0123456789ABCDEF)."))
      << card.out;
  EXPECT_TRUE(Says(card, "Result: a usable reader was found.")) << card.out;

  pcscd.SetFault("no-sam");
  pcscd.WaitForCard(false);
  const ProgramResult refused = Check();
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Says(refused, "Pellix: it could not open ACS ACR122 00 00 (status -42)."))
      << refused.out;
}

TEST_F(CheckReaderProgram, TheAcr122uWithAndWithoutEscapeCommands) {
  PrivatePcscd pcscd(1, ReaderKind::kPicc);
  ASSERT_TRUE(pcscd.running());
  const std::string name = pcscd.ReaderName();
  const ProgramResult off = Check();
  EXPECT_EQ(off.status, 0) << off.out << off.err;
  EXPECT_TRUE(Says(off, "  " + name + " (ACR122U, no SAM)")) << off.out;
  EXPECT_TRUE(Says(off, "Card: none on the reader.")) << off.out;
  EXPECT_TRUE(Says(off, "Polling without a card (" + name + "): not allowed by the reader driver"))
      << off.out;
  EXPECT_TRUE(Says(off, "ifdDriverOptions")) << off.out;

  pcscd.AllowEscape(true);
  const ProgramResult on = Check();
  EXPECT_EQ(on.status, 0);
  EXPECT_TRUE(Says(on, "Polling without a card (" + name + "): allowed.")) << on.out;
  EXPECT_FALSE(Says(on, "ifdDriverOptions")) << on.out;

  pcscd.SetCard(Card());
  pcscd.WaitForCard(true);
  const ProgramResult card = Check();
  EXPECT_TRUE(Says(card, "Card: a FeliCa card lies on the reader (IDm 0123456789ABCDEF)."))
      << card.out;
}

TEST_F(CheckReaderProgram, AnRcS300WithoutACardThenWithOne) {
  PrivatePcscd pcscd(1, ReaderKind::kRcS300);
  ASSERT_TRUE(pcscd.running());
  const std::string name = pcscd.ReaderName();
  const ProgramResult empty = Check();
  EXPECT_EQ(empty.status, 0) << empty.out << empty.err;
  EXPECT_TRUE(Says(empty, "  " + name + " (FeliCa reader, served by the PC/SC FeliCa plug-in)"))
      << empty.out;
  EXPECT_TRUE(Says(empty, "Pellix: no ACR122 is attached")) << empty.out;
  EXPECT_TRUE(Says(empty, "FeliCa on " + name + ": no card on the reader")) << empty.out;
  EXPECT_TRUE(Says(empty, "Escape commands (" + name + "): needed here, but not allowed"))
      << empty.out;
  EXPECT_TRUE(Says(empty, "ifdDriverOptions")) << empty.out;

  pcscd.SetCard(Card());
  pcscd.WaitForCard(true);
  const ProgramResult card = Check(true);
  EXPECT_EQ(card.status, 0) << card.out << card.err;
  EXPECT_TRUE(Says(card, "FeliCa on " + name + ": through the transparent exchange (transmit)."))
      << card.out;
  EXPECT_TRUE(Says(card, "Card: a FeliCa card lies on " + name + " (IDm 0123456789ABCDEF)."))
      << card.out;
  EXPECT_TRUE(Says(card, "The first exchanges with " + name)) << card.out;
  EXPECT_TRUE(Says(card, "    > FF C2 00 00 02 81 00 00\n    < C0 03 00 90 00 90 00\n"))
      << card.out;

  pcscd.RemoveCard();
  pcscd.WaitForCard(false);
  pcscd.AllowEscape(true);
  const ProgramResult escape = Check();
  EXPECT_TRUE(
      Says(escape, "FeliCa on " + name + ": through the transparent exchange (escape command)."))
      << escape.out;
  EXPECT_TRUE(Says(escape, "Card: none on " + name)) << escape.out;
  EXPECT_TRUE(Says(escape, "Escape commands (" + name + "): allowed (control code 0x42000001)."))
      << escape.out;
  EXPECT_FALSE(Says(escape, "ifdDriverOptions")) << escape.out;
}

TEST_F(CheckReaderProgram, AReaderThatCarriesNoFeliCaIsNoUsableReader) {
  PrivatePcscd pcscd(1, ReaderKind::kPlain, Card());
  ASSERT_TRUE(pcscd.running());
  const std::string name = pcscd.ReaderName();
  const ProgramResult r = Check();
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Says(r, "  " + name + " (not an ACR122: the PC/SC FeliCa plug-in tries it)"))
      << r.out;
  EXPECT_TRUE(Says(r, "FeliCa on " + name + ": not carried.")) << r.out;
  EXPECT_TRUE(Says(r, "Result: no usable reader.")) << r.out;
}

}  // namespace
}  // namespace lorvane::readercheck
