// SPDX-License-Identifier: MIT
#include "viewer/readercheck/pcsc_service.h"

#include <chrono>
#include <cstdlib>

#include "pellix/pcsc_call_bound.h"
#include "viewer/readercheck/pcsc_survey.h"

namespace lorvane::readercheck {
namespace {

constexpr char kDefaultSocket[] = "/run/pcscd/pcscd.comm";
constexpr char kSocketVariable[] = "PCSCLITE_CSOCK_NAME";
constexpr char kRestart[] = "sudo systemctl restart pcscd";

std::string BoundSeconds() {
  return std::to_string(std::chrono::seconds(pellix::kPcscCallLimit).count()) + " s";
}

}  // namespace

ServiceState ServiceStateOf(LONG establishResult) {
  if (establishResult == SCARD_S_SUCCESS) return ServiceState::kAnswers;
  if (establishResult == SCARD_E_TIMEOUT || pellix::PcscServiceHung()) return ServiceState::kHung;
  if (establishResult == SCARD_E_NO_SERVICE) return ServiceState::kMissing;
  return ServiceState::kForeign;
}

LONG EstablishResult() {
  SCARDCONTEXT context = 0;
  const LONG result = pellix::BoundedEstablishContext(SCARD_SCOPE_USER, &context);
  if (context != 0) pellix::BoundedReleaseContext(context);
  return result;
}

std::string ServiceSocketPath() {
  const char* path = std::getenv(kSocketVariable);
  return path != nullptr && *path != '\0' ? path : kDefaultSocket;
}

std::string ServiceProblem(LONG establishResult) {
  switch (ServiceStateOf(establishResult)) {
    case ServiceState::kAnswers:
      return {};
    case ServiceState::kMissing:
      return "no PC/SC service (is pcscd installed and running?)";
    case ServiceState::kHung:
      return "the PC/SC service (pcscd) did not answer within " + BoundSeconds() +
             ": restart it (" + kRestart + "), then start Lorvane again";
    case ServiceState::kForeign:
      break;
  }
  return "something answers on the PC/SC service's socket " + ServiceSocketPath() +
         ", but not as pcscd does (" + PcscResultText(establishResult) + "): restart the " +
         "service (" + kRestart + ")";
}

std::vector<std::string> ServiceCheckLines(LONG establishResult) {
  switch (ServiceStateOf(establishResult)) {
    case ServiceState::kAnswers:
      return {};
    case ServiceState::kMissing:
      return {"PC/SC service: does not answer (" + PcscResultText(establishResult) + ").",
              "  Fix: install and start the PC/SC service:\n"
              "    sudo apt install pcscd libccid\n"
              "    sudo systemctl enable --now pcscd.socket"};
    case ServiceState::kHung:
      return {
          "PC/SC service: did not answer within " + BoundSeconds() + " (it is stopped or hung).",
          std::string("  Fix: restart it, then check again:\n    ") + kRestart};
    case ServiceState::kForeign:
      break;
  }
  return {"PC/SC service: something answers on its socket " + ServiceSocketPath() +
              ", but not as pcscd does (" + PcscResultText(establishResult) + ").",
          std::string("  Fix: restart the PC/SC service, then check again:\n    ") + kRestart};
}

}  // namespace lorvane::readercheck
