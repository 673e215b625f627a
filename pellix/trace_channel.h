// SPDX-License-Identifier: MIT
// The driver's debug trace: each line goes as one datagram to the trace viewer's socket, when
// a viewer listens. The socket lies in a folder only the user can enter
// ($XDG_RUNTIME_DIR/VextorByTarvosk, else /tmp/VextorByTarvosk-<uid>), and the driver sends
// only when that folder and the socket belong to the user running it: the trace reaches no
// other user. A send never blocks; with no viewer, or a viewer that does not keep up, lines
// are lost and the driver goes on.
#pragma once

#include <string>

namespace lorvane::pellix {

// The socket's name inside the folder, and the folder's.
inline constexpr char kTraceSocketName[] = "Vextor for Debug";
inline constexpr char kTraceFolderName[] = "VextorByTarvosk";
// The message: 4 bytes little-endian kind (1), then the text and its NUL.
inline constexpr unsigned kTraceMessageKind = 1;
inline constexpr int kTraceTextChars = 1024;

// printf-style; returns 1 when the line was handed to a viewer, 0 otherwise.
int DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Closes the channel's socket (at unload).
void CloseTrace();

// The path of the viewer's socket for the user running this process.
std::string TraceSocketPath();

// For a viewer: makes the private folder and binds a datagram socket there (a socket left by
// a viewer that is gone is replaced). The descriptor, or -1 with the reason in `error`.
int ListenForTrace(std::string& error);

}  // namespace lorvane::pellix
