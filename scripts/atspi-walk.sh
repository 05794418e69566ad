#!/usr/bin/env bash
# Walks the built quillon by keyboard alone through the accessibility bus (AT-SPI), on a small
# generated tree, and prints what a screen reader sees; with SHOT=FILE it also saves the About box,
# with SHOT_MENU=FILE the row menu over marked rows, with SHOT_MORE=FILE the "More Folders..." dialog.
# Needs: xvfb (xvfb-run), dbus, at-spi2-core, python3-pyatspi, imagemagick (import).
# Usage: scripts/atspi-walk.sh [BUILD_DIR]    e.g.  SHOT=docs/about.png scripts/atspi-walk.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-${QUILLON_BUILD_DIR:-build}}"
quillon="$(realpath "$build_dir/app/quillon")"
shot="${SHOT:+$(realpath -m "$SHOT")}"
shot_menu="${SHOT_MENU:+$(realpath -m "$SHOT_MENU")}"
shot_more="${SHOT_MORE:+$(realpath -m "$SHOT_MORE")}"

work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-atspi.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/a" "$work/tree/b" "$work/config/velvane" "$work/data" "$work/cache" "$work/run"
chmod 700 "$work/run"
head -c 5000 /dev/urandom >"$work/tree/a/one.bin"
cp "$work/tree/a/one.bin" "$work/tree/b/one-copy.bin"
head -c 9000 /dev/urandom >"$work/tree/a/two.bin"
cp "$work/tree/a/two.bin" "$work/tree/b/two-copy.bin"
# Thirty folders more with one small copy each: more folders than the Folders menu lists.
head -c 3000 /dev/urandom >"$work/small.bin"
for n in $(seq -w 1 30); do
  mkdir -p "$work/tree/b/many/folder-$n"
  cp "$work/small.bin" "$work/tree/b/many/folder-$n/small.bin"
done
cat >"$work/config/velvane/quillon.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders]
"Count"=dword:00000002

[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\0]
"m_Folder"="$work/tree/a/"

[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders\\1]
"m_Folder"="$work/tree/b/"
REG

cat >"$work/session.sh" <<SESSION
#!/usr/bin/env bash
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \\
       XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
"$quillon" >"$work/quillon.log" 2>&1 &
app=\$!
status=0
SHOT="$shot" SHOT_MENU="$shot_menu" SHOT_MORE="$shot_more" /usr/bin/python3 "$PWD/scripts/atspi-walk.py" || status=\$?
kill \$app 2>/dev/null || true
exit \$status
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$work/session.sh" 2> >(grep -v '^dbus-daemon' >&2)
