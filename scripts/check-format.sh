#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a C or C++ file differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
  if ! clang-format --style=file "$file" | cmp -s - "$file"; then
    echo "not formatted: $file (run: clang-format -i $file)"
    status=1
  fi
done < <(git ls-files '*.cpp' '*.h' '*.c')
exit $status
