// Whole-file reads and crash-safe whole-file replacement.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lorvane::platform {

// The file's bytes, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Writes the bytes to a temporary file in the same folder, flushes it to disk and renames it
// over `path`, so a crash leaves either the old or the new file. An existing file keeps its
// permission bits. Returns false (and leaves `path` untouched) on any failure.
bool ReplaceFileAtomically(const std::filesystem::path& path, const std::string& bytes);

}  // namespace lorvane::platform
