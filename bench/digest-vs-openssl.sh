#!/usr/bin/env bash
# Compares our MD5 with OpenSSL's on this machine, in one run, alternating the two:
#  1. MD5 over a 256 MiB buffer in memory (BM_Md5Buffer) against `openssl speed -evp md5` with
#     16 KiB blocks;
#  2. a full digest of a 256 MiB file in the page cache (quillon-digest, one reused read buffer)
#     against `openssl md5` of the same file;
#  3. eight streams of 256 MiB in memory digested side by side on one core (BM_Md5EightStreams, the
#     eight lanes of CMd5Lanes on a processor with AVX2), against `openssl speed -evp md5` (16 KiB
#     blocks, one stream) and against the same eight streams one at a time (QUILLON_MD5=scalar).
# Prints the median throughput of each side in MB/s (10^6 bytes per second) and the ratio.
# Usage: bench/digest-vs-openssl.sh [BUILD_DIR] [ROUNDS]   (the eight streams need 2 GiB of memory)
set -euo pipefail
build="${1:-build}"
rounds="${2:-5}"
bench="$build/bench/quillon_bench"
digest="$build/bench/quillon-digest"
for tool in "$bench" "$digest"; do
  [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done
command -v openssl >/dev/null || { echo "openssl is needed" >&2; exit 1; }

file="${TMPDIR:-/tmp}/quillon-md5-vs-openssl.bin"
trap 'rm -f "$file"' EXIT
head -c $((256 << 20)) /dev/urandom > "$file"
cat "$file" > /dev/null   # into the page cache

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { local start end; start=$(date +%s.%N); "$@" > /dev/null; end=$(date +%s.%N); echo "$end - $start" | bc -l; }

ours_mem=(); theirs_mem=(); ours_file=(); theirs_file=(); lanes_mem=(); avx2_mem=(); scalar_mem=(); theirs_lanes=()
size_mb=$(echo "268435456 / 1000000" | bc -l)
for ((i = 0; i < rounds; i++)); do
  ours_mem+=("$("$bench" --benchmark_filter='BM_Md5Buffer' --benchmark_format=json 2>/dev/null \
    | awk -F': ' '/"bytes_per_second"/ { gsub(/,/, "", $2); printf "%.1f\n", $2 / 1e6 }')")
  theirs_mem+=("$(openssl speed -evp md5 -bytes 16384 -seconds 3 2>/dev/null \
    | awk '/^md5/ { sub(/k$/, "", $2); printf "%.1f\n", $2 / 1000 }')")
  ours_file+=("$(echo "$size_mb / $(seconds "$digest" "$file")" | bc -l)")
  theirs_file+=("$(echo "$size_mb / $(seconds openssl md5 "$file")" | bc -l)")
  lanes_mem+=("$(taskset -c 0 "$bench" --benchmark_filter='BM_Md5EightStreams' --benchmark_format=json 2>/dev/null \
    | awk -F': ' '/"bytes_per_second"/ { gsub(/,/, "", $2); printf "%.1f\n", $2 / 1e6 }')")
  theirs_lanes+=("$(taskset -c 0 openssl speed -evp md5 -bytes 16384 -seconds 3 2>/dev/null \
    | awk '/^md5/ { sub(/k$/, "", $2); printf "%.1f\n", $2 / 1000 }')")
  avx2_mem+=("$(QUILLON_MD5=avx2 taskset -c 0 "$bench" --benchmark_filter='BM_Md5EightStreams' --benchmark_format=json 2>/dev/null \
    | awk -F': ' '/"bytes_per_second"/ { gsub(/,/, "", $2); printf "%.1f\n", $2 / 1e6 }')")
  scalar_mem+=("$(QUILLON_MD5=scalar taskset -c 0 "$bench" --benchmark_filter='BM_Md5EightStreams' --benchmark_format=json 2>/dev/null \
    | awk -F': ' '/"bytes_per_second"/ { gsub(/,/, "", $2); printf "%.1f\n", $2 / 1e6 }')")
done

report() { # NAME OTHER A-FIGURES... B-FIGURES...: the medians of A ("ours") and B (OTHER), and A / B
  local name="$1" other="$2" ours theirs
  ours=$(printf '%s\n' "${@:3:$rounds}" | median)
  theirs=$(printf '%s\n' "${@:$((3 + rounds)):$rounds}" | median)
  printf '%-52s ours %7.1f MB/s  %-7s %7.1f MB/s  ratio %.3f\n' "$name" "$ours" "$other" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
}
echo "medians of $rounds alternating rounds on $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
report "MD5 of a 256 MiB buffer vs openssl speed" openssl "${ours_mem[@]}" "${theirs_mem[@]}"
report "full digest of a cached 256 MiB file vs openssl md5" openssl "${ours_file[@]}" "${theirs_file[@]}"
report "8 streams of 256 MiB on one core vs openssl speed" openssl "${lanes_mem[@]}" "${theirs_lanes[@]}"
report "8 streams, AVX2 only (QUILLON_MD5=avx2) vs openssl speed" openssl "${avx2_mem[@]}" "${theirs_lanes[@]}"
report "8 streams: eight lanes vs one at a time" scalar "${lanes_mem[@]}" "${scalar_mem[@]}"
