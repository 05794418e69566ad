#!/bin/sh
# Times closing the program with a large settings store: the window placement and the settings
# (12 folders) written to a store that other programs' keys fill to about MB megabytes.
#   bench/store-close.sh [BUILD_DIR [MB [RUNS]]]     (defaults: build 50 5)
# Prints each run's /usr/bin/time line (elapsed seconds, user, system, peak KB); quote the median.
set -eu
build=${1:-build}
mb=${2:-50}
runs=${3:-5}
tool=$build/bench/quillon-storeclose
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
XDG_CONFIG_HOME=$work "$tool" --make-store "$mb"
ls -l "$work/velvane/quillon.reg"
i=0
while [ "$i" -lt "$runs" ]; do
    XDG_CONFIG_HOME=$work /usr/bin/time -f "close: %e s elapsed, %U s user, %S s system, %M KB" "$tool"
    i=$((i + 1))
done
