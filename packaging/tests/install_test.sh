#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The install tree as a user meets it: `cmake --install` into a scratch prefix, the desktop
# entry and AppStream metainfo validated, the installed program run as an unprivileged user
# with an empty home (it reads the sample card and writes only below that home's config
# folder), and a plug-in built out of tree against the installed header, found in plugindir.
# Usage: install_test.sh <build folder>. Exits 77 (skipped) without its tools.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in desktop-file-validate appstreamcli pkg-config cc; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
chmod -R a+rX "$prefix"
fail() { echo "FAILED: $*"; exit 1; }

desktop-file-validate "$prefix/share/applications/io.github.lorvane.Lorvane.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.lorvane.Lorvane.metainfo.xml" >/dev/null
grep -q '^Name\[ja\]=' "$prefix/share/applications/io.github.lorvane.Lorvane.desktop" ||
  fail "the desktop entry has no Japanese name"
for icon in scalable/apps/lorvane.svg 48x48/apps/lorvane.png; do
  [ -s "$prefix/share/icons/hicolor/$icon" ] || fail "no icon $icon"
done
[ -s "$prefix/share/man/man1/lorvane.1.gz" ] || fail "no man page"
[ -s "$prefix/share/doc/lorvane/copyright" ] || fail "no licence"

# As an unprivileged user with an empty home (as root: user nobody).
home=$work/home
mkdir "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
run() {
  (cd "$work" && "${as_user[@]}" env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    "$prefix/bin/lorvane" "$@")
}
find "$prefix" -type f -printf '%p %T@\n' | sort >"$work/before"
out=$(run --read --language English 2>"$work/err") || fail "lorvane --read: $(cat "$work/err")"
grep -q '^Transit IC card$' <<<"$out" || fail "the sample card was not printed: $out"
grep -q 'card image .*/share/lorvane/samples/sample-transit.json' "$work/err" ||
  fail "the sample card was not named: $(cat "$work/err")"
[ -f "$home/.config/lorvane/FeliCaDLL.INI" ] || fail "no registry in the config folder"
find "$prefix" -type f -printf '%p %T@\n' | sort >"$work/after"
cmp -s "$work/before" "$work/after" || fail "the install tree changed: $(diff "$work/before" "$work/after")"
unexpected=$(find "$home" -type f ! -path "$home/.config/lorvane/*")
[ -z "$unexpected" ] || fail "files outside the config folder: $unexpected"

# A plug-in of someone else's, built against the installed header and installed in plugindir.
export PKG_CONFIG_PATH=$prefix/share/pkgconfig
plugindir=$(realpath -m "$(pkg-config --variable=plugindir lorvane-plugin)")
[ -f "$plugindir/pellix.so" ] || fail "plugindir $plugindir holds no plug-ins"
cat >"$work/outoftree.c" <<'PLUGIN'
#include <lorvane/felica_plugin.h>
#include <stddef.h>
FELICA_PLUGIN_EXPORT const char* GetInformation(int32_t index) {
  switch ((uint16_t)index) {
    case FELICA_INFO_KIND: return "NFC card reader control dll";
    case FELICA_INFO_PLATFORM: return "WIN32";
    case FELICA_INFO_INTERFACE: return "010";
    case FELICA_INFO_DESCRIPTION: return "Out of tree plug-in";
    case FELICA_INFO_VERSION: return "0.1";
    case FELICA_INFO_DATE: return "2026/12/08";
    case FELICA_INFO_FUNCTION_BASE: return "FeliCa";
    default: return NULL;
  }
}
PLUGIN
# shellcheck disable=SC2046
cc -shared -fPIC -fvisibility=hidden $(pkg-config --cflags lorvane-plugin) "$work/outoftree.c" \
  -o "$plugindir/outoftree.so"
chmod a+r "$plugindir/outoftree.so"
run --read --verbose >/dev/null 2>"$work/err" || true
grep -q 'outoftree.so: reader plug-in "Out of tree plug-in" 0.1' "$work/err" ||
  fail "the out-of-tree plug-in was not found: $(cat "$work/err")"
echo "install tree, desktop files, unprivileged run and out-of-tree plug-in: all right"
