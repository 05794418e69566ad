#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks that it is a proper desktop
# application there: the desktop entry and the AppStream metainfo pass their validators, the
# manual pages format without a warning and the one of quillon-find names every option of
# `quillon-find --help`, the entry's Exec and Icon resolve inside the prefix, and the licence,
# copyright file and changelog are in the documentation folder.
# Then builds the Debian package from the same install rules (cpack -G DEB, into
# BUILD_DIR/package/) and checks it: lintian reports no error (its warnings are shown), it holds
# every file a user needs, its version is the project's, and installed into a scratch root its
# quillon-find says that version.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default: $QUILLON_BUILD_DIR or build)
# Needs desktop-file-validate (desktop-file-utils), appstreamcli (appstream), man (man-db),
# lintian, dpkg-shlibdeps (dpkg-dev) and file.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-${QUILLON_BUILD_DIR:-build}}"

for tool in desktop-file-validate appstreamcli man cpack lintian dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "check-install: $tool is missing" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
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
manpage="$prefix/share/man/man1/quillon-find.1.gz"
docs="$prefix/share/doc/quillon"
for file in "$prefix/bin/quillon" "$prefix/bin/quillon-find" "$desktop" "$metainfo" "$manpage" \
  "$prefix/share/man/man1/quillon.1.gz" "$docs/LICENSE" "$docs/copyright" "$docs/changelog.gz"; do
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

for page in "$prefix"/share/man/man1/*.1.gz; do
  quiet_check "man --warnings -l ${page##*/}" env MANWIDTH=80 man --warnings -l "$page"
done
if [ -e "$manpage" ]; then
  # Every option the program offers is documented.
  page="$(MANWIDTH=200 man -l "$manpage" 2>/dev/null | sed 's/.\x08//g')"
  for option in $("$prefix/bin/quillon-find" --help | grep -oE '(^|[ [|])--?[a-z][a-z-]*' | tr -d ' [|' | sort -u); do
    grep -qe "$option" <<<"$page" || fail "quillon-find.1 does not mention $option"
  done
fi

# The Debian package. Its version and file name come from the project's version, as the build
# configured it.
version="$(sed -n 's/^#define QUILLON_VERSION "\(.*\)"$/\1/p' "$build_dir/generated/res/Version.h")"
[ -n "$version" ] || { echo "check-install: no version in $build_dir/generated/res/Version.h" >&2; exit 2; }
package_dir="$build_dir/package"
deb="$package_dir/quillon_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
if ! out="$(cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$package_dir" 2>&1)" || [ ! -f "$deb" ]; then
  printf '%s\n' "$out" >&2
  echo "check-install: FAIL: cpack -G DEB did not make ${deb##*/}" >&2
  exit 1
fi

# lintian: no error. Its warnings are printed; the ones left are explained in README (Install).
if ! out="$(lintian --fail-on error "$deb" 2>&1)"; then
  fail "lintian reports errors"
fi
out="$(grep -v 'running with root privileges is not recommended' <<<"$out" || true)"
[ -z "$out" ] || printf 'lintian: %s\n' "$out" >&2

if [ "$(dpkg-deb -f "$deb" Version)" != "$version" ]; then
  fail "the package's version is $(dpkg-deb -f "$deb" Version), not $version"
fi
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "the package's section is not utils"
# Its dependencies were read from the binaries.
for library in libc6 libqt6widgets6 libsqlite3-0; do
  grep -qE "(^|, )$library( |,|$)" <<<"$(dpkg-deb -f "$deb" Depends)" || fail "the package does not depend on $library"
done

contents="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
for file in usr/bin/quillon usr/bin/quillon-find usr/share/applications/quillon.desktop \
  usr/share/metainfo/example.velvane.quillon.metainfo.xml \
  usr/share/man/man1/quillon.1.gz usr/share/man/man1/quillon-find.1.gz \
  usr/share/doc/quillon/copyright usr/share/doc/quillon/changelog.gz \
  usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/quillon.png; do
  grep -qxF "./$file" <<<"$contents" || fail "the package lacks /$file"
done

# Installed into a scratch root, the package's quillon-find says the project's version. dpkg
# installs as root (it hands the files to root); anyone else checks the unpacked files.
root="$work/root"
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  out="$(dpkg --root="$root" --force-depends --install "$deb" 2>&1)" || { fail "dpkg --root --install"; printf '%s\n' "$out" >&2; }
else
  dpkg-deb --extract "$deb" "$root"
fi
if ! out="$("$root/usr/bin/quillon-find" --version 2>&1)" || [ "$out" != "quillon-find $version" ]; then
  fail "the packaged quillon-find --version says \"$out\", not \"quillon-find $version\""
fi

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failure(s)" >&2
  exit 1
fi
echo "check-install: installed into a temporary prefix; desktop entry, metainfo, icons, manual pages and documents are valid"
echo "check-install: ${deb#./} passes lintian and installs; quillon-find says $version"
