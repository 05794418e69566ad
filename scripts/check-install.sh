#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks that it is a proper desktop
# application there: the desktop entry and the AppStream metainfo pass their validators, the
# manual page formats without a warning and names every option of `quillon-find --help`, and
# the entry's Exec and Icon resolve inside the prefix.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default: $QUILLON_BUILD_DIR or build)
# Needs desktop-file-validate (desktop-file-utils), appstreamcli (appstream) and man (man-db).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-${QUILLON_BUILD_DIR:-build}}"

for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "check-install: $tool is missing" >&2; exit 2; }
done

prefix="$(mktemp -d "${TMPDIR:-/tmp}/quillon-install.XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

failures=0
fail() {
  echo "check-install: FAIL: $*" >&2
  failures=$((failures + 1))
}
# Runs a validator; any output on standard error, or a failing status, is a failure.
quiet_check() {
  local what=$1
  shift
  local err
  if ! err="$("$@" 2>&1 >/dev/null)" || [ -n "$err" ]; then
    fail "$what"
    [ -z "$err" ] || printf '%s\n' "$err" >&2
  fi
}

desktop="$prefix/share/applications/quillon.desktop"
metainfo="$prefix/share/metainfo/example.velvane.quillon.metainfo.xml"
manpage="$prefix/share/man/man1/quillon-find.1"
for file in "$prefix/bin/quillon" "$prefix/bin/quillon-find" "$desktop" "$metainfo" "$manpage"; do
  [ -e "$file" ] || fail "not installed: ${file#"$prefix"/}"
done

if [ -e "$desktop" ]; then
  quiet_check "desktop-file-validate $desktop" desktop-file-validate "$desktop"
  # Exec and Icon resolve in the prefix: the program on its bin folder, the icon in hicolor.
  exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" | head -n1)"
  PATH="$prefix/bin" command -v "$exec_name" >/dev/null || fail "Exec=$exec_name is not in $prefix/bin"
  icon_name="$(sed -n 's/^Icon=//p' "$desktop" | head -n1)"
  for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon_name.png"
    if [ ! -s "$icon" ]; then
      fail "Icon=$icon_name has no ${size}x${size} picture in hicolor"
    elif command -v identify >/dev/null && [ "$(identify -format '%wx%h' "$icon")" != "${size}x${size}" ]; then
      fail "${icon#"$prefix"/} is not ${size}x${size}"
    fi
  done
fi

if [ -e "$metainfo" ]; then
  if ! out="$(appstreamcli validate --no-net "$metainfo" 2>&1)"; then
    fail "appstreamcli validate --no-net"
    printf '%s\n' "$out" >&2
  fi
  grep -q '<launchable type="desktop-id">quillon.desktop</launchable>' "$metainfo" \
    || fail "the metainfo does not launch quillon.desktop"
fi

if [ -e "$manpage" ]; then
  quiet_check "man --warnings -l quillon-find.1" env MANWIDTH=80 man --warnings -l "$manpage"
  # Every option the program offers is documented.
  page="$(MANWIDTH=200 man -l "$manpage" 2>/dev/null | sed 's/.\x08//g')"
  for option in $("$prefix/bin/quillon-find" --help | grep -oE '(^|[ [|])--?[a-z][a-z-]*' | tr -d ' [|' | sort -u); do
    grep -qe "$option" <<<"$page" || fail "quillon-find.1 does not mention $option"
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failure(s)" >&2
  exit 1
fi
echo "check-install: installed into a temporary prefix; desktop entry, metainfo, icons and manual page are valid"
