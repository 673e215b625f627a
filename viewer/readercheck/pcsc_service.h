// SPDX-License-Identifier: MIT
// What is wrong with the PC/SC service, when something is, told apart by what establishing a
// context gave: nothing listens (not installed or not started), it did not answer within the
// bound (stopped or hung), or something answers on its socket that is not pcscd.
#pragma once

#include <PCSC/winscard.h>

#include <string>
#include <vector>

namespace lorvane::readercheck {

enum class ServiceState { kAnswers, kMissing, kHung, kForeign };

ServiceState ServiceStateOf(LONG establishResult);

// Establishes a context and lets it go, within the bound of every PC/SC call.
LONG EstablishResult();

// The socket the PC/SC client library reaches the service through.
std::string ServiceSocketPath();

// One line for a failed read or dump: what is wrong with the service and what to do.
std::string ServiceProblem(LONG establishResult);

// The lines --check-reader gives for a service that does not answer, with the fix.
std::vector<std::string> ServiceCheckLines(LONG establishResult);

}  // namespace lorvane::readercheck
