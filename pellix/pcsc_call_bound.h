// SPDX-License-Identifier: MIT
// Calls into the PC/SC service that end. The client library waits for the service's answer
// without a limit, so a stopped or hung pcscd, or a socket that accepts and never answers,
// would stop the caller for good. Each call here runs on a thread of its own and is waited
// for at most kPcscCallLimit; past that the caller gets SCARD_E_TIMEOUT and the call is left
// to finish (or not) on its own.
//
// Ownership: the call must own everything it reads or writes (capture by value, or shared
// pointers), since the caller may be gone when it finishes. The module that started an
// abandoned call is kept loaded until the process ends, so the call never returns into
// unmapped code.
//
// A call that timed out marks the service as hung for the whole process (pcsc_hung_mark.h):
// later calls fail at once with SCARD_E_TIMEOUT.
#pragma once

#include <PCSC/winscard.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "pellix/pcsc_hung_mark.h"

namespace lorvane::pellix {

LONG BoundedPcscCall(std::function<LONG()> call, std::chrono::milliseconds limit = kPcscCallLimit);

// The PC/SC calls, bounded. Outputs are written only when the call came back in time;
// lists are allocated by the library (SCARD_AUTOALLOCATE) and freed with SCardFreeMemory.
LONG BoundedEstablishContext(DWORD scope, SCARDCONTEXT* context);
LONG BoundedReleaseContext(SCARDCONTEXT context);
LONG BoundedListReaderGroups(SCARDCONTEXT context, LPSTR* list);
// `groups` is a multi-string (or null for every group).
LONG BoundedListReaders(SCARDCONTEXT context, const char* groups, LPSTR* list);
LONG BoundedConnect(SCARDCONTEXT context, const std::string& reader, DWORD share, DWORD protocols,
                    SCARDHANDLE* card, DWORD* protocol);
LONG BoundedDisconnect(SCARDHANDLE card, DWORD disposition);
// `length` is the answer's capacity on the way in and its length on the way out.
LONG BoundedTransmit(SCARDHANDLE card, const SCARD_IO_REQUEST* pci, std::span<const uint8_t> apdu,
                     uint8_t* answer, DWORD* length);
LONG BoundedControl(SCARDHANDLE card, DWORD code, std::span<const uint8_t> input, uint8_t* answer,
                    DWORD capacity, DWORD* length);

}  // namespace lorvane::pellix
