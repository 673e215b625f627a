// The driver's debug trace: each line goes as one datagram to the trace viewer's socket in
// the abstract namespace, when a viewer listens. A send never blocks; with no viewer, or a
// viewer that does not keep up, lines are lost and the driver goes on.
#pragma once

namespace lorvane::pellix {

// The abstract socket name (without the leading NUL) the viewer binds.
inline constexpr char kTraceSocketName[] = "VextorByTarvosk/Vextor for Debug";
// The message: 4 bytes little-endian kind (1), then the text and its NUL.
inline constexpr unsigned kTraceMessageKind = 1;
inline constexpr int kTraceTextChars = 1024;

// printf-style; returns 1 when the line was handed to a viewer, 0 otherwise.
int DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Closes the channel's socket (at unload).
void CloseTrace();

}  // namespace lorvane::pellix
