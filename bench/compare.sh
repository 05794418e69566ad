#!/usr/bin/env bash
# Compares quillon-find with other duplicate finders (fdupes, jdupes, rmlint, rdfind) on trees
# made by quillon-gentree. For every preset it first checks that each tool reports exactly the
# duplicates the tree's manifest expects, then times all tools side by side with the page cache
# warm (one warm-up run each, then rounds that run every tool once), and records peak memory.
# For the large preset it also times md5sum over exactly the files whose size another file shares.
# With --tree PATH it also times the tools on an existing folder (its answer is counted, not checked).
# For every tree it reports the bytes quillon-find read in one run (rchar of /proc/PID/io) beside the
# bytes of the distinct files (device, inode) whose size another such file shares.
# With --page-cache cold (or both) the page cache is dropped before every timed run, so that every
# tool reads the tree from the disk (this needs root: it writes /proc/sys/vm/drop_caches).
# quillon-find runs with --no-cache, so that it digests the files as the other tools do, unless
# --quillon-cache lets it use the digests it kept from its warm-up run.
# Prints a Markdown table and writes it, with the machine and the commands, to bench/RESULTS.md.
#
# Usage: bench/compare.sh [options]     (see --help)
# Example: QUILLON_FIND=build/cli/quillon-find bench/compare.sh --runs 5
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

quillon_find=${QUILLON_FIND:-}
gentree=${QUILLON_GENTREE:-}
build_dir=${QUILLON_BENCH_BUILD:-$root/build-bench}
trees_dir=$here/trees
presets=small,mixed,large,real
extra_trees=()
tools=quillon-find,fdupes,jdupes,rmlint,rdfind
runs=5
seed=1
scale=1
total_mib=3072
results=$here/RESULTS.md
install=1
check_only=0
max_load=
pin=
report_note=
page_cache=warm
quillon_cache=0

usage() {
    cat <<'EOF'
Usage: bench/compare.sh [options]
  --quillon-find PATH  quillon-find to measure (or $QUILLON_FIND); default: build it
  --gentree PATH       tree generator (or $QUILLON_GENTREE); default: build it
  --build-dir DIR      where to build them (default: build-bench in the source tree)
  --trees DIR          cache of generated trees (default: bench/trees)
  --presets LIST       comma-separated: small,mixed,large,real (default: all four); "none" for none
  --tree PATH          also an existing folder (may be given more than once); its answer is not checked
  --tools LIST         comma-separated: quillon-find,fdupes,jdupes,rmlint,rdfind (default: all)
  --runs N             timed runs per tool and preset, after one warm-up (default: 5)
  --seed N             seed of the trees (default: 1)
  --scale F            fraction of each preset's size, for quick runs (default: 1)
  --total-mib N        total size of the large preset before scaling (default: 3072)
  --results FILE       where to write the report (default: bench/RESULTS.md); "-" for none
  --max-load L         before each preset and round, wait (up to 10 minutes) for the 1-minute load
                       to fall below L
  --taskset CPUS       run every tool pinned to these CPUs (taskset -c CPUS), e.g. 0 for one core
  --note TEXT          a line for the report (say which build of quillon-find was measured)
  --page-cache MODE    warm (default): the tree stays in the page cache; cold: the cache is dropped
                       before every timed run (needs root); both: warm rounds, then cold rounds
  --quillon-cache      let quillon-find keep and use its digest cache between runs (default: it
                       runs with --no-cache, reading the files every time as the other tools do)
  --check-only         check the answers, time nothing, write no report
  --no-install         do not install missing packages with apt-get
  -h, --help           this text
Exit status: 0 when every tool gave the expected answer, 1 when one did not, 2 on bad usage.
EOF
}

die() { echo "compare.sh: $*" >&2; exit 2; }
note() { echo "== $*" >&2; }

while [[ $# -gt 0 ]]; do
    case $1 in
    --quillon-find) quillon_find=${2:?}; shift ;;
    --gentree) gentree=${2:?}; shift ;;
    --build-dir) build_dir=${2:?}; shift ;;
    --trees) trees_dir=${2:?}; shift ;;
    --presets) presets=${2:?}; shift ;;
    --tree) extra_trees+=("${2:?}"); shift ;;
    --tools) tools=${2:?}; shift ;;
    --runs) runs=${2:?}; shift ;;
    --seed) seed=${2:?}; shift ;;
    --scale) scale=${2:?}; shift ;;
    --total-mib) total_mib=${2:?}; shift ;;
    --results) results=${2:?}; shift ;;
    --max-load) max_load=${2:?}; shift ;;
    --taskset) pin=${2:?}; shift ;;
    --note) report_note=${2:?}; shift ;;
    --page-cache) page_cache=${2:?}; shift ;;
    --quillon-cache) quillon_cache=1 ;;
    --check-only) check_only=1 ;;
    --no-install) install=0 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
    shift
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs needs a positive number"
case $page_cache in
warm) modes=(warm) ;;
cold) modes=(cold) ;;
both) modes=(warm cold) ;;
*) die "--page-cache takes warm, cold or both" ;;
esac
if [[ " ${modes[*]} " == *" cold "* && $check_only -eq 0 && ! -w /proc/sys/vm/drop_caches ]]; then
    die "dropping the page cache needs root (/proc/sys/vm/drop_caches)"
fi
# Empties the page cache (after writing back what is dirty), so that the next run reads from the disk.
drop_page_cache() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
}
IFS=, read -r -a preset_list <<<"$presets"
[[ $presets != none ]] || preset_list=()
IFS=, read -r -a tool_list <<<"$tools"
for p in "${preset_list[@]}"; do [[ $p =~ ^(small|mixed|large|real)$ ]] || die "unknown preset $p"; done
for t in "${extra_trees[@]}"; do [[ -d $t ]] || die "no folder $t"; done
for t in "${tool_list[@]}"; do [[ $t =~ ^(quillon-find|fdupes|jdupes|rmlint|rdfind)$ ]] || die "unknown tool $t"; done
has_tool() { [[ ",$tools," == *",$1,"* ]]; }

# ---------------------------------------------------------------------------------------------
# Packages

install_missing() {
    local -a need=()
    local t
    for t in fdupes jdupes rmlint rdfind; do
        has_tool "$t" && ! command -v "$t" >/dev/null && need+=("$t")
    done
    [[ -x /usr/bin/time ]] || need+=(time)
    command -v jq >/dev/null || need+=(jq)
    if [[ -z $gentree || (-z $quillon_find && $(has_tool quillon-find && echo y) == y) ]]; then
        command -v cmake >/dev/null || need+=(cmake)
        command -v ninja >/dev/null || need+=(ninja-build)
        command -v g++ >/dev/null || need+=(g++)
        dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
    fi
    [[ ${#need[@]} -eq 0 ]] && return
    if [[ $install -eq 0 ]]; then
        die "missing: ${need[*]} (install them, or drop --no-install)"
    fi
    local sudo=
    [[ $(id -u) -eq 0 ]] || sudo=sudo
    note "installing ${need[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${need[@]}"
}

build_programs() {
    local -a targets=()
    [[ -n $gentree ]] || targets+=(quillon-gentree)
    [[ -n $quillon_find ]] || ! has_tool quillon-find || targets+=(quillon-find)
    [[ ${#targets[@]} -eq 0 ]] && return
    note "building ${targets[*]} in $build_dir"
    cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_GUI=OFF \
        -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=ON >/dev/null
    ninja -C "$build_dir" "${targets[@]}" >&2
    [[ -n $gentree ]] || gentree=$build_dir/bench/quillon-gentree
    if has_tool quillon-find && [[ -z $quillon_find ]]; then quillon_find=$build_dir/cli/quillon-find; fi
}

# ---------------------------------------------------------------------------------------------
# Trees

tree_key() {
    local key="$1-seed$seed-scale$scale"
    [[ $1 == large ]] && key+="-mib$total_mib"
    echo "$key"
}

manifest_value() { sed -n "s/^$2=//p" "$1/manifest.txt"; }

# Makes the preset's tree unless a complete one of this generator's version is cached.
ensure_tree() {
    local dir=$trees_dir/$(tree_key "$1")
    local version
    version=$("$gentree" --version | awk '{print $2}')
    if [[ -f $dir/manifest.txt && $(manifest_value "$dir" generator) == "$version" ]]; then
        note "using the cached $1 tree in $dir"
    else
        rm -rf -- "$dir"
        note "generating the $1 tree in $dir"
        "$gentree" --preset "$1" --seed "$seed" --scale "$scale" --total-mib "$total_mib" --out "$dir" >/dev/null
    fi
    echo "$dir"
}

# ---------------------------------------------------------------------------------------------
# Tools: how each is run, and how its answer is counted

# Flags of each tool, shown in the table. Every tool walks the tree recursively and only reads it.
tool_flags() {
    case $1 in
    quillon-find) echo "--format jsonl --no-progress$([[ $quillon_cache -eq 1 ]] || echo " --no-cache")" ;;
    fdupes) echo "-r -q -n" ;;
    jdupes) echo "-r -q" ;;
    rmlint) echo "-T df -o fdupes:OUT" ;;
    rdfind) echo "-dryrun true -outputname OUT" ;;
    md5sum) echo "FILES (those whose size another file shares)" ;;
    esac
}

# Sets `cmd` to the command line of tool $1 over tree $2 writing its answer to $3, and
# `cmd_stdout` to where its standard output goes.
make_command() {
    local tool=$1 tree=$2 out=$3
    cmd_stdout=$out
    case $tool in
    quillon-find)
        cmd=("$quillon_find" --format jsonl --no-progress --no-cache "$tree")
        [[ $quillon_cache -eq 0 ]] || cmd=("$quillon_find" --format jsonl --no-progress "$tree") ;;
    fdupes) cmd=(fdupes -r -q -n "$tree") ;;
    jdupes) cmd=(jdupes -r -q "$tree") ;;
    rmlint) cmd=(rmlint -T df -o "fdupes:$out" "$tree"); cmd_stdout=/dev/null ;;
    rdfind) cmd=(rdfind -dryrun true -outputname "$out" "$tree"); cmd_stdout=/dev/null ;;
    md5sum) mapfile -d '' -t files <"$tree.shared"; cmd=(md5sum -- "${files[@]}") ;;
    esac
    [[ -z $pin ]] || cmd=(taskset -c "$pin" "${cmd[@]}")
}

# Prints "groups rows bytes" of a tool's answer ("-" where the format does not tell).
count_answer() {
    local tool=$1 out=$2
    case $tool in
    quillon-find)
        jq -rs '[length, (map(.original) | unique | length), (map(.size) | add // 0)]
                | "\(.[1]) \(.[0]) \(.[2])"' "$out" ;;
    fdupes | jdupes | rmlint)
        # Groups of paths separated by blank lines; the first path of a group is its original.
        awk 'NF == 0 { if (n) { g++; r += n - 1 }; n = 0; next } { n++ }
             END { if (n) { g++; r += n - 1 }; print g + 0, r + 0, "-" }' "$out" ;;
    rdfind)
        awk '$1 == "DUPTYPE_FIRST_OCCURRENCE" { g++ }
             $1 ~ /^DUPTYPE_/ && $1 != "DUPTYPE_FIRST_OCCURRENCE" { r++; b += $4 }
             END { print g + 0, r + 0, b + 0 }' "$out" ;;
    esac
}

# Writes NUL-separated paths of the tree's non-empty files whose size another file shares.
list_shared_size_files() {
    local tree=$1 out=$2
    local -A count=()
    local size path
    while IFS= read -r -d '' size && IFS= read -r -d '' path; do
        count[$size]=$((${count[$size]:-0} + 1))
    done < <(find "$tree" -type f -size +0 -printf '%s\0%p\0')
    : >"$out"
    while IFS= read -r -d '' size && IFS= read -r -d '' path; do
        [[ ${count[$size]} -ge 2 ]] && printf '%s\0' "$path" >>"$out"
    done < <(find "$tree" -type f -size +0 -printf '%s\0%p\0')
    return 0
}

# Prints the bytes of the distinct files (device, inode) under $1 whose size another one shares: what a
# search that reads each such file once reads at the most.
shared_size_bytes() {
    find "$1" -type f -size +0 -printf '%D %i %s\n' 2>/dev/null | sort -u |
        awk '{ n[$3]++ } END { for (s in n) if (n[s] > 1) b += s * n[s]; printf "%.0f\n", b }'
}

# Prints the bytes quillon-find read (read and pread calls) in one run over tree $1.
quillon_bytes_read() {
    make_command quillon-find "$1" /dev/null
    bash -c '"$@" >/dev/null 2>&1; sed -n "s/^rchar: //p" /proc/$$/io' quillon-find "${cmd[@]}"
}

# Runs tool $1 on tree $2 once; appends "seconds kib" to $3 when given. Returns the tool's status.
run_once() {
    local tool=$1 tree=$2 record=${3:-}
    local out=$work/answer.$tool timing=$work/time.$tool
    make_command "$tool" "$tree" "$out"
    local start=$EPOCHREALTIME status=0
    /usr/bin/time -f '%M' -o "$timing" "${cmd[@]}" >"$cmd_stdout" 2>"$work/stderr.$tool" || status=$?
    local end=$EPOCHREALTIME
    if [[ -n $record ]]; then
        echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(tail -n 1 "$timing")" >>"$record"
    fi
    return $status
}

wait_for_low_load() {
    [[ -n $max_load ]] || return 0
    local waited=0
    while awk -v l="$(cut -d ' ' -f 1 /proc/loadavg)" -v m="$max_load" 'BEGIN { exit !(l >= m) }'; do
        [[ $waited -ge 600 ]] && { note "load still $(cut -d ' ' -f 1 /proc/loadavg); going on"; return 0; }
        sleep 15
        waited=$((waited + 15))
    done
}

# ---------------------------------------------------------------------------------------------
# Statistics and report

# "median min max" of the first column of a record file.
time_stats() {
    cut -d ' ' -f 1 "$1" | sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.2f %.2f %.2f\n", m, v[1], v[NR] }'
}

peak_mib() { cut -d ' ' -f 2 "$1" | sort -g | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "–" }'; }

# One verdict line of the performance targets: "name measured target".
target_line() {
    local what=$1 value=$2 limit=$3
    [[ $value == "–" || -z $value ]] && return 0
    local verdict
    verdict=$(awk -v v="$value" -v l="$limit" 'BEGIN { print (v <= l) ? "met" : "missed" }')
    echo "| $what | $value | ≤ $limit | $verdict |"
}

machine_description() {
    local source disk
    source=$(findmnt -no SOURCE -T "$trees_dir" 2>/dev/null | head -n 1)
    disk=$(lsblk -no PKNAME "$source" 2>/dev/null | head -n 1)
    disk=${disk:+/dev/$disk}
    disk=${disk:-$source}
    echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores"
    echo "- RAM: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
    echo "- Kernel: $(uname -r) ($(. /etc/os-release && echo "$PRETTY_NAME"))"
    echo "- Disk: $source, $(findmnt -no FSTYPE -T "$trees_dir" | head -n 1)," \
        "$(lsblk -dno SIZE,MODEL "$disk" 2>/dev/null | xargs)," \
        "rotational: $(lsblk -dno ROTA "$disk" 2>/dev/null | xargs) (as the kernel reports it)"
    echo "- Load average before the runs: $load_before; after: $(cut -d ' ' -f 1-3 /proc/loadavg);" \
        "1-minute load when each preset began: $(IFS=,; echo "${load_at_start[*]}" | sed 's/,/, /g')"
}

tool_version() {
    case $1 in
    quillon-find) "$quillon_find" --version 2>/dev/null | head -n 1 || echo "quillon-find" ;;
    fdupes) fdupes --version | head -n 1 ;;
    jdupes) jdupes --version | head -n 1 ;;
    rmlint) rmlint --version 2>&1 | head -n 1 | sed 's/\x1b\[[0-9;]*m//g' ;;
    rdfind) rdfind --version | head -n 1 ;;
    md5sum) md5sum --version | head -n 1 ;;
    esac
}

# ---------------------------------------------------------------------------------------------
# Main

install_missing
build_programs
[[ -x $gentree ]] || die "no tree generator at $gentree"
if has_tool quillon-find && [[ ! -x $quillon_find ]]; then
    die "no quillon-find at $quillon_find (give --quillon-find, or leave it out of --tools)"
fi
mkdir -p "$trees_dir"
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-compare.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
failures=0
table_rows=()
expected_lines=()
load_at_start=()
read_lines=()
declare -A median=() peak=()

for preset in "${preset_list[@]}" "${extra_trees[@]/#/tree:}"; do
    if [[ $preset == tree:* ]]; then
        # An existing folder: nothing tells the answer beforehand.
        tree=${preset#tree:}
        preset=$tree
        want_rows=
    else
        dir=$(ensure_tree "$preset")
        tree=$dir/tree
        want_rows=$(manifest_value "$dir" duplicate_rows)
        want_groups=$(manifest_value "$dir" duplicate_groups)
        want_bytes=$(manifest_value "$dir" duplicate_bytes)
        gib=$(awk -v b="$(manifest_value "$dir" bytes)" 'BEGIN { printf "%.2f", b / 1073741824 }')
        expected_lines+=("| $preset | $(manifest_value "$dir" files) | $(manifest_value "$dir" folders) | $gib |\
 $(manifest_value "$dir" empty_files) | $want_groups | $want_rows | $want_bytes |")
    fi
    run_tools=("${tool_list[@]}")
    if [[ $preset == large ]]; then
        list_shared_size_files "$tree" "$tree.shared"
        run_tools+=(md5sum)
    fi
    wait_for_low_load
    load_at_start+=("$preset $(cut -d ' ' -f 1 /proc/loadavg)")

    declare -A verdict=()
    for tool in "${run_tools[@]}"; do
        note "$preset: warm-up and check of $tool"
        status=0
        run_once "$tool" "$tree" || status=$?
        if [[ $tool == md5sum ]]; then
            verdict[$tool]="$(tr -cd '\0' <"$tree.shared" | wc -c) files,\
 $(awk -v b="$(manifest_value "$dir" shared_size_bytes)" 'BEGIN { printf "%.2f GB", b / 1e9 }')"
            [[ $status -eq 0 ]] || verdict[$tool]="✗ exit status $status"
            continue
        fi
        read -r groups rows bytes < <(count_answer "$tool" "$work/answer.$tool")
        if [[ $status -ne 0 ]]; then
            verdict[$tool]="✗ exit status $status"
        elif [[ -z $want_rows ]]; then
            verdict[$tool]="$rows rows (not checked)"
            continue
        elif [[ $rows != "$want_rows" || $groups != "$want_groups" || ($bytes != - && $bytes != "$want_bytes") ]]; then
            verdict[$tool]="✗ $rows rows in $groups groups ($bytes bytes)"
        else
            verdict[$tool]="✓ $rows rows"
        fi
        if [[ ${verdict[$tool]} == ✗* ]]; then
            failures=$((failures + 1))
            note "$preset: $tool gave ${verdict[$tool]#✗ }, expected $want_rows rows in $want_groups groups ($want_bytes bytes)"
            sed 's/^/    /' "$work/stderr.$tool" | head -n 5 >&2
        fi
    done
    [[ $check_only -eq 1 ]] && continue
    if has_tool quillon-find; then
        read_lines+=("| $preset | $(quillon_bytes_read "$tree") | $(shared_size_bytes "$tree") |")
    fi

    for mode in "${modes[@]}"; do
        pkey=$preset
        [[ $mode == warm ]] || pkey="$preset, $mode"
        for ((r = 1; r <= runs; r++)); do
            [[ $r -eq 1 ]] || wait_for_low_load
            note "$pkey: round $r of $runs (load $(cut -d ' ' -f 1 /proc/loadavg))"
            for tool in "${run_tools[@]}"; do
                [[ $mode == warm ]] || drop_page_cache
                run_once "$tool" "$tree" "$work/record.${preset//\//_}.$mode.$tool" || true
            done
        done
        for tool in "${run_tools[@]}"; do
            read -r med lo hi < <(time_stats "$work/record.${preset//\//_}.$mode.$tool")
            median[$pkey.$tool]=$med
            peak[$pkey.$tool]=$(peak_mib "$work/record.${preset//\//_}.$mode.$tool")
        done
        md5sum_verdict=${verdict[md5sum]:-}
        if [[ $preset == large ]]; then
            md5sum_verdict+=", $(awk -v b="$(manifest_value "$dir" shared_size_bytes)" -v t="${median[$pkey.md5sum]}" \
                'BEGIN { printf "%.0f MB/s", (t > 0 ? b / t / 1e6 : 0) }')"
        fi
        for tool in "${run_tools[@]}"; do
            read -r med lo hi < <(time_stats "$work/record.${preset//\//_}.$mode.$tool")
            answer=${verdict[$tool]}
            [[ $tool != md5sum ]] || answer=$md5sum_verdict
            table_rows+=("| $tool | $pkey | \`$(tool_flags "$tool")\` | $med | $lo | $hi |\
 $(ratio "$med" "${median[$pkey.quillon-find]:-0}") | ${peak[$pkey.$tool]} | $answer |")
        done
    done
done

if [[ $check_only -eq 1 ]]; then
    [[ $failures -eq 0 ]] && note "every tool gave the expected answer"
    exit $((failures > 0))
fi

qf_ratio() { # quillon-find's median over tool $2's on preset $1
    [[ -n ${median[$1.quillon-find]:-} && -n ${median[$1.$2]:-} ]] || { echo "–"; return; }
    ratio "${median[$1.quillon-find]}" "${median[$1.$2]}"
}
qf_mem_ratio() {
    [[ -n ${peak[$1.quillon-find]:-} && -n ${peak[$1.$2]:-} ]] || { echo "–"; return; }
    ratio "${peak[$1.quillon-find]}" "${peak[$1.$2]}"
}

report=$(
    echo "| tool | preset | flags | median s | min s | max s | × quillon-find | peak RSS MiB | answer |"
    echo "|---|---|---|---:|---:|---:|---:|---:|---|"
    printf '%s\n' "${table_rows[@]}"
)
targets=$(
    echo "| quillon-find against | measured | target | verdict |"
    echo "|---|---:|---:|---|"
    target_line "small: time ÷ jdupes" "$(qf_ratio small jdupes)" 0.7
    target_line "small: time ÷ fdupes" "$(qf_ratio small fdupes)" 0.65
    target_line "small: peak memory ÷ jdupes" "$(qf_mem_ratio small jdupes)" 2
    target_line "mixed: time ÷ jdupes" "$(qf_ratio mixed jdupes)" 0.7
    target_line "mixed: time ÷ fdupes" "$(qf_ratio mixed fdupes)" 0.6
    target_line "large: time ÷ jdupes" "$(qf_ratio large jdupes)" 1.0
    target_line "large: time ÷ fdupes" "$(qf_ratio large fdupes)" 0.8
    target_line "large: time ÷ md5sum of the shared-size files" "$(qf_ratio large md5sum)" 1.1
    target_line "real: time ÷ jdupes" "$(qf_ratio real jdupes)" 0.7
    for t in "${extra_trees[@]}"; do target_line "$t: time ÷ jdupes" "$(qf_ratio "$t" jdupes)" 0.7; done
    target_line "small, cold: time ÷ jdupes" "$(qf_ratio "small, cold" jdupes)" 0.8
    target_line "mixed, cold: time ÷ jdupes" "$(qf_ratio "mixed, cold" jdupes)" 0.8
)
reads=$(
    echo "| tree | bytes quillon-find read | bytes of distinct files whose size another shares |"
    echo "|---|---:|---:|"
    printf '%s\n' "${read_lines[@]}"
)
echo "$report"
echo
echo "$targets"
echo
echo "$reads"

if [[ $results != - ]]; then
    {
        echo "# Duplicate finders compared"
        echo
        echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/compare.sh --page-cache $page_cache\`. Wall times are"
        echo "medians of $runs runs per tool after one warm-up run each (the rounds run every tool once in turn)."
        echo "Rows that name a preset alone ran with the page cache warm; rows marked \"cold\" ran with the page"
        echo "cache dropped before every run (\`sync; echo 3 > /proc/sys/vm/drop_caches\`), so that the tool read"
        echo "the tree from the disk. On a shared machine other work may run at the same time, so single"
        echo "figures can stray;"
        echo "peak RSS is the largest of the runs (GNU time's maximum resident set size)."
        echo "Every tool's answer was checked against the tree's manifest before it was timed."
        if [[ -n $pin ]]; then
            echo "Every tool ran pinned to CPU $pin (\`taskset -c $pin\`), so none could use more cores than that."
        else
            echo "Tools could use all $(nproc) cores (fdupes, jdupes, rdfind and md5sum use one; rmlint uses several)."
        fi
        [[ -z $report_note ]] || { echo; echo "$report_note"; }
        echo
        echo "## Machine"
        echo
        machine_description
        echo
        echo "## Trees"
        echo
        echo "Made by \`quillon-gentree --preset P --seed $seed --scale $scale --total-mib $total_mib --out DIR\`"
        echo "(the tree is DIR/tree). A group of n equal files of at least 1 byte counts n − 1 rows; empty files"
        echo "count for nothing. Duplicate bytes are the sum over rows of the file size."
        echo
        echo "| preset | files | folders | GiB | empty files | duplicate groups | duplicate rows | duplicate bytes |"
        echo "|---|---:|---:|---:|---:|---:|---:|---:|"
        printf '%s\n' "${expected_lines[@]}"
        echo
        echo "## Results"
        echo
        echo "$report"
        echo
        echo "The md5sum row hashes exactly the files of the tree whose size another file shares, in one"
        echo "process: the whole-file MD5 a single thread must do at the least."
        echo
        echo "## Targets"
        echo
        echo "$targets"
        echo
        echo "## Bytes read"
        echo
        echo "What quillon-find read in one run (\`rchar\` of /proc/PID/io: every read and pread), beside"
        echo "the bytes of the distinct files (device, inode) whose size another such file shares: a search"
        echo "that reads each file at most once, and only files that may have a copy, reads no more."
        echo
        echo "$reads"
        echo
        echo "## Commands"
        echo
        echo "Each tool ran as below, TREE standing for the tree folder and OUT for a file in a temporary folder;"
        echo "its standard output went to OUT where the tool prints its answer there. The answers were counted"
        echo "from: the JSON lines of quillon-find (one per row), the blank-line separated groups of fdupes,"
        echo "jdupes and rmlint's fdupes formatter, and the DUPTYPE lines of rdfind's results file."
        echo
        echo '```'
        for tool in "${tool_list[@]}" md5sum; do
            printf '%-14s %s\n' "$tool" "$(tool_version "$tool")"
        done
        echo
        if [[ $quillon_cache -eq 1 ]]; then
            echo "quillon-find --format jsonl --no-progress TREE > OUT   # keeps its digest cache between runs"
        else
            echo "quillon-find --format jsonl --no-progress --no-cache TREE > OUT   # reads every file, as the others do"
        fi
        echo "fdupes -r -q -n TREE > OUT        # -n: leave out empty files, as the other tools do by default"
        echo "jdupes -r -q TREE > OUT"
        echo "rmlint -T df -o fdupes:OUT TREE   # -T df: look for duplicate files only (no other lint)"
        echo "rdfind -dryrun true -outputname OUT TREE"
        echo "md5sum -- FILES                   # FILES: the large tree's files whose size another file shares"
        echo '```'
        echo
        echo "To repeat: \`QUILLON_FIND=path/to/quillon-find bench/compare.sh --runs $runs --page-cache $page_cache\`" \
            "(add \`--scale 0.1\` for a quick run)."
        echo "jdupes, rmlint and rdfind use other hashes than MD5; fdupes and quillon-find use MD5."
        echo "Only the real preset holds hard links and symbolic links (to folders, beside the folders they"
        echo "lead to); folders given with --tree are searched as they are."
    } >"$results"
    note "wrote $results"
fi
exit $((failures > 0))
