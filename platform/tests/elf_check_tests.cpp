// SPDX-License-Identifier: MIT
// Plug-in files that are not what they seem, judged before the loader maps them: a library
// cut short, one built for another processor, a text file, an empty file.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/dynamic_library.h"
#include "platform/elf_check.h"
#include "testing/support/temp_dir.h"

namespace lorvane::platform {
namespace {

namespace fs = std::filesystem;

// A real shared library of this build to start from.
const fs::path kLibrary = fs::path(LORVANE_BIN_DIR) / "cardimage.so";

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ElfCheck, OnlyAWholeLibraryOfThisMachineIsLoaded) {
  lorvane::testing::TempDir dir;
  const std::string whole = Bytes(kLibrary);
  ASSERT_GT(whole.size(), 4096u);
  std::string reason;
  EXPECT_TRUE(IsLoadableLibrary(kLibrary, reason)) << reason;

  // Cut inside its last loadable segment (what follows the segments, symbols for debugging,
  // the loader never maps).
  Elf64_Ehdr elf{};
  std::memcpy(&elf, whole.data(), sizeof elf);
  size_t loadedEnd = 0;
  for (size_t i = 0; i < elf.e_phnum; ++i) {
    Elf64_Phdr program{};
    std::memcpy(&program, whole.data() + elf.e_phoff + i * sizeof program, sizeof program);
    if (program.p_type == PT_LOAD)
      loadedEnd = std::max<size_t>(loadedEnd, program.p_offset + program.p_filesz);
  }
  const fs::path cut = dir.Write("cut.so", whole.substr(0, loadedEnd - 64));
  EXPECT_FALSE(IsLoadableLibrary(cut, reason));
  EXPECT_NE(reason.find("cut short"), std::string::npos) << reason;
  std::string loadError;
  EXPECT_EQ(LoadLibrary(cut, &loadError), nullptr);  // no SIGBUS inside the loader
  EXPECT_EQ(loadError, reason);

  std::string other = whole;
  Elf64_Ehdr header{};
  std::memcpy(&header, other.data(), sizeof header);
  header.e_machine = header.e_machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
  std::memcpy(other.data(), &header, sizeof header);
  EXPECT_FALSE(IsLoadableLibrary(dir.Write("arm.so", other), reason));
  EXPECT_EQ(reason, "built for another kind of processor");

  EXPECT_FALSE(IsLoadableLibrary(dir.Write("notes.so",
                                           "just some text, long enough to read"
                                           " as a header if it were one........"),
                                 reason));
  EXPECT_EQ(reason, "not a shared library (no ELF header)");
  EXPECT_FALSE(IsLoadableLibrary(dir.Write("empty.so", ""), reason));
}

}  // namespace
}  // namespace lorvane::platform
