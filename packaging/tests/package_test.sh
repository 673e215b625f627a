#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package: built by CPack from the build folder, then its name, control fields and
# file list checked, and lintian (when installed) finds no error.
# Usage: package_test.sh <build folder> <version>. Exits 77 (skipped) without dpkg-deb.
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null ||
  { echo "dpkg-dev is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/lorvane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lorvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
for dependency in libqt6widgets6 libpcsclite1 qt6-qpa-plugins; do
  grep -q "$dependency" <<<"$(field Depends)" || fail "Depends lacks $dependency: $(field Depends)"
done
grep -q pcscd <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/lorvane ./usr/lib/lorvane/plugins/pellix.so ./usr/lib/lorvane/plugins/pcscfelica.so \
  ./usr/lib/lorvane/plugins/cardimage.so ./usr/lib/lorvane/plugins/dialogs/pellix-dialogs.so \
  ./usr/share/lorvane/Define/Language/English/Language.ini \
  ./usr/share/lorvane/samples/sample-transit.json \
  ./usr/share/applications/io.github.lorvane.Lorvane.desktop \
  ./usr/share/metainfo/io.github.lorvane.Lorvane.metainfo.xml \
  ./usr/share/icons/hicolor/48x48/apps/lorvane.png ./usr/share/icons/hicolor/scalable/apps/lorvane.svg \
  ./usr/share/man/man1/lorvane.1.gz ./usr/share/doc/lorvane/copyright \
  ./usr/share/doc/lorvane/changelog.gz ./usr/include/lorvane/felica_plugin.h \
  ./usr/share/pkgconfig/lorvane-plugin.pc; do
  grep -qx -- "$file" <<<"$files" || fail "the package lacks $file"
done
if grep -q -- '/tests\?/\|test-plugins\|\.a$' <<<"$files"; then
  fail "test files in the package: $(grep -- '/tests\?/\|test-plugins\|\.a$' <<<"$files")"
fi
if command -v lintian >/dev/null; then
  errors=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep '^E:' || true)
  [ -z "$errors" ] || fail "lintian: $errors"
fi
echo "$(basename "$deb"): name, control fields, files and lintian all right"
