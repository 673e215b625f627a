// SPDX-License-Identifier: MIT
#include "testing/support/program_folder.h"

namespace lorvane::testing {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder(const fs::path& binFolder) {
  for (const char* file : {"lorvane", "pellix.so", "pcscfelica.so", "cardimage.so"})
    fs::copy(binFolder / file, dir_.path() / file);
  fs::copy(binFolder / "Define", dir_.path() / "Define", fs::copy_options::recursive);
  fs::copy(binFolder / "samples", dir_.path() / "samples", fs::copy_options::recursive);
}

}  // namespace lorvane::testing
