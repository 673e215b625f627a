// SPDX-License-Identifier: MIT
#include "viewer/readercheck/pcsc_survey.h"

#include <PCSC/reader.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "pellix/pcsc_call_bound.h"
#include "pellix/pcsc_connection.h"
#include "pellix/reader_names.h"

namespace lorvane::readercheck {
namespace {

// The readers a context lists, from the service's multi-string.
LONG ListReaders(SCARDCONTEXT context, std::vector<SurveyedReader>& readers) {
  LPSTR list = nullptr;
  const LONG result = pellix::BoundedListReaders(context, nullptr, &list);
  if (result != SCARD_S_SUCCESS) return result;
  std::string names;
  for (const char* name : pellix::SplitMultiString(list)) names.append(name).push_back('\0');
  SCardFreeMemory(context, list);
  for (size_t at = 0; at < names.size() && names[at] != '\0';) {
    const size_t end = std::min(names.find('\0', at), names.size());
    SurveyedReader reader;
    reader.name = names.substr(at, end - at);
    reader.withoutSam = IsReaderWithoutSam(reader.name);
    readers.push_back(std::move(reader));
    at = end + 1;
  }
  return SCARD_S_SUCCESS;
}

// Asks the reader driver for its features over a direct connection (no card needed): the
// CCID escape command is among them only when the driver allows it.
void AskForEscape(SCARDCONTEXT context, SurveyedReader& reader) {
  SCARDHANDLE handle = 0;
  DWORD protocol = 0;
  LONG result = pellix::BoundedConnect(context, reader.name, SCARD_SHARE_DIRECT,
                                       SCARD_PROTOCOL_UNDEFINED, &handle, &protocol);
  if (result != SCARD_S_SUCCESS) {
    reader.escapeProblem = result;
    return;
  }
  std::array<unsigned char, 256> features{};
  DWORD length = 0;
  result = pellix::BoundedControl(handle, CM_IOCTL_GET_FEATURE_REQUEST, {}, features.data(),
                                  features.size(), &length);
  pellix::BoundedDisconnect(handle, SCARD_LEAVE_CARD);
  if (result != SCARD_S_SUCCESS) {
    reader.escapeProblem = result;
    return;
  }
  // Tag, length, value: the control code of the feature, big-endian.
  bool escape = false;
  const size_t end = std::min<size_t>(length, features.size());
  for (size_t at = 0; at + 2 <= end; at += 2 + features[at + 1]) {
    if (features[at] != FEATURE_CCID_ESC_COMMAND || features[at + 1] != 4 || at + 6 > end) continue;
    escape = true;
    reader.escapeCode = static_cast<DWORD>(features[at + 2]) << 24 |
                        static_cast<DWORD>(features[at + 3]) << 16 |
                        static_cast<DWORD>(features[at + 4]) << 8 | features[at + 5];
  }
  reader.escapeAllowed = escape;
}

}  // namespace

bool IsReaderWithoutSam(const std::string& name) {
  return pellix::IsAcr122Reader(name) && !pellix::IsSamReader(name);
}

bool AcsDriverInstalled() {
  std::error_code ec;
  for (const char* folder : {"/usr/lib/pcsc/drivers", "/usr/local/lib/pcsc/drivers"}) {
    if (std::filesystem::exists(std::filesystem::path(folder) / "ifd-acsccid.bundle", ec))
      return true;
  }
  return false;
}

std::string PcscResultText(LONG result) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result) & 0xFFFFFFFFUL);
  const char* name = nullptr;
  switch (result) {
    case SCARD_E_NO_SERVICE:
      name = "SCARD_E_NO_SERVICE";
      break;
    case SCARD_E_NO_READERS_AVAILABLE:
      name = "SCARD_E_NO_READERS_AVAILABLE";
      break;
    case SCARD_E_NO_SMARTCARD:
      name = "SCARD_E_NO_SMARTCARD";
      break;
    case SCARD_E_SHARING_VIOLATION:
      name = "SCARD_E_SHARING_VIOLATION";
      break;
    case SCARD_E_NOT_TRANSACTED:
      name = "SCARD_E_NOT_TRANSACTED";
      break;
    case SCARD_E_UNSUPPORTED_FEATURE:
      name = "SCARD_E_UNSUPPORTED_FEATURE";
      break;
    default:
      break;
  }
  return name != nullptr ? std::string(name) + " (" + hex + ")" : std::string(hex);
}

PcscSurvey SurveyPcsc() {
  PcscSurvey survey;
  SCARDCONTEXT context = 0;
  survey.service = pellix::BoundedEstablishContext(SCARD_SCOPE_SYSTEM, &context);
  if (survey.service != SCARD_S_SUCCESS) return survey;
  survey.listing = ListReaders(context, survey.readers);
  for (SurveyedReader& reader : survey.readers) {
    if (!pellix::IsSamReader(reader.name)) AskForEscape(context, reader);
  }
  survey.acsDriver = AcsDriverInstalled();
  pellix::BoundedReleaseContext(context);
  return survey;
}

}  // namespace lorvane::readercheck
