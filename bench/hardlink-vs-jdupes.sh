#!/usr/bin/env bash
# Times `quillon-find --hardlink` against `jdupes -r -L` on the same generated tree. Each run acts on a
# fresh copy of the tree (cp -a, not timed) in /dev/shm (the tree and a copy of it in memory); the tools run in turn, round by
# round, and the script prints each tool's median wall time and the ratio of the medians. After every
# run it counts the files that have become hard links, so that both tools are seen to do the same work.
# quillon-find runs with --no-cache (it reads every file, as jdupes does).
#
# Usage: bench/hardlink-vs-jdupes.sh [--runs N] [--preset small] [--work DIR]
# Environment: QUILLON_FIND, QUILLON_GENTREE (default: build/cli/quillon-find, build/bench/quillon-gentree)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
quillon_find=${QUILLON_FIND:-$root/build/cli/quillon-find}
gentree=${QUILLON_GENTREE:-$root/build/bench/quillon-gentree}
runs=5
preset=small
work=/dev/shm/quillon-hardlink-bench  # in memory: copying the tree for every run stays quick

while [[ $# -gt 0 ]]; do
    case $1 in
    --runs) runs=${2:?}; shift ;;
    --preset) preset=${2:?}; shift ;;
    --work) work=${2:?}; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
command -v jdupes >/dev/null || { echo "jdupes is missing (apt-get install jdupes)" >&2; exit 2; }
[[ -x $quillon_find && -x $gentree ]] || { echo "build quillon-find and quillon-gentree first" >&2; exit 2; }

tree=$work/tree
copy=$work/copy
mkdir -p "$work"
[[ -d $tree ]] || "$gentree" --preset "$preset" --seed 1 --out "$tree" >/dev/null

linked_files() { find "$1" -type f -links +1 | wc -l; }

# Runs one tool on a fresh copy; prints its wall seconds and the files that became links.
run() {
    rm -rf "$copy"
    cp -a "$tree" "$copy"
    sync
    local start end
    start=$EPOCHREALTIME
    case $1 in
    quillon-find) "$quillon_find" --hardlink --no-cache --no-progress "$copy" >/dev/null 2>&1 || [[ $? == 1 ]] ;;
    jdupes) jdupes -r -q -L "$copy" >/dev/null 2>&1 ;;
    esac
    end=$EPOCHREALTIME
    echo "$(echo "$end - $start" | bc -l) $(linked_files "$copy")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A times links
for tool in quillon-find jdupes; do run "$tool" >/dev/null; done  # warm-up
for ((round = 1; round <= runs; round++)); do
    for tool in quillon-find jdupes; do
        read -r seconds linked < <(run "$tool")
        times[$tool]+="$seconds"$'\n'
        links[$tool]=$linked
    done
done
rm -rf "$copy"

q=$(printf '%s' "${times[quillon-find]}" | median)
j=$(printf '%s' "${times[jdupes]}" | median)
printf '| tool | median s | files made links |\n|---|---|---|\n'
printf '| quillon-find --hardlink | %.3f | %s |\n' "$q" "${links[quillon-find]}"
printf '| jdupes -r -L | %.3f | %s |\n' "$j" "${links[jdupes]}"
printf 'ratio quillon-find / jdupes: %.2f (%s runs, preset %s)\n' "$(echo "$q / $j" | bc -l)" "$runs" "$preset"
