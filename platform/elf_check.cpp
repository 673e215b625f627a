// SPDX-License-Identifier: MIT
#include "platform/elf_check.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace lorvane::platform {
namespace {

#if defined(__x86_64__)
constexpr uint16_t kThisMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr uint16_t kThisMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr uint16_t kThisMachine = EM_386;
#elif defined(__arm__)
constexpr uint16_t kThisMachine = EM_ARM;
#elif defined(__riscv)
constexpr uint16_t kThisMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr uint16_t kThisMachine = EM_PPC64;
#elif defined(__s390x__)
constexpr uint16_t kThisMachine = EM_S390;
#else
constexpr uint16_t kThisMachine = EM_NONE;  // not checked
#endif

#if __SIZEOF_POINTER__ == 8
using Header = Elf64_Ehdr;
using ProgramHeader = Elf64_Phdr;
constexpr unsigned char kThisClass = ELFCLASS64;
#else
using Header = Elf32_Ehdr;
using ProgramHeader = Elf32_Phdr;
constexpr unsigned char kThisClass = ELFCLASS32;
#endif
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char kThisByteOrder = ELFDATA2LSB;
#else
constexpr unsigned char kThisByteOrder = ELFDATA2MSB;
#endif
constexpr size_t kMaxProgramHeaders = 4096;

bool Fail(std::string& reason, const char* why) {
  reason = why;
  return false;
}

std::string HeaderProblem(const Header& header) {
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
    return "not a shared library (no ELF header)";
  if (header.e_ident[EI_CLASS] != kThisClass || header.e_ident[EI_DATA] != kThisByteOrder)
    return "built for another kind of computer (word size or byte order)";
  if (kThisMachine != EM_NONE && header.e_machine != kThisMachine)
    return "built for another kind of processor";
  if (header.e_type != ET_DYN) return "not a shared library";
  if (header.e_phentsize != sizeof(ProgramHeader) || header.e_phnum == 0 ||
      header.e_phnum > kMaxProgramHeaders)
    return "damaged (its program headers make no sense)";
  return {};
}

}  // namespace

bool IsLoadableLibrary(const std::filesystem::path& path, std::string& reason) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return Fail(reason, "cannot be read");
  std::ifstream in(path, std::ios::binary);
  Header header{};
  if (size < sizeof header || !in.read(reinterpret_cast<char*>(&header), sizeof header))
    return Fail(reason, "not a shared library (shorter than an ELF header)");
  if (reason = HeaderProblem(header); !reason.empty()) return false;
  const uint64_t tableEnd =
      static_cast<uint64_t>(header.e_phoff) + uint64_t{header.e_phnum} * sizeof(ProgramHeader);
  if (tableEnd > size) return Fail(reason, "cut short (its program headers lie past its end)");
  std::vector<ProgramHeader> programs(header.e_phnum);
  in.seekg(static_cast<std::streamoff>(header.e_phoff));
  if (!in.read(reinterpret_cast<char*>(programs.data()),
               static_cast<std::streamsize>(programs.size() * sizeof(ProgramHeader))))
    return Fail(reason, "cannot be read");
  for (const ProgramHeader& program : programs) {
    if (program.p_type != PT_LOAD) continue;
    if (static_cast<uint64_t>(program.p_offset) + program.p_filesz > size)
      return Fail(reason, "cut short (a copy that did not finish?): its code lies past its end");
  }
  return true;
}

}  // namespace lorvane::platform
