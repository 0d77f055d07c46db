# Shared by the benchmarks bench/*.sh: sourced, never run by itself (scripts/bench runs only
# *.sh files). It gives a benchmark:
#
#   $TV          a private copy of the tarvik program, taken when the benchmark starts, so a
#                rebuild of build/linux/tarvik by someone else cannot change it half-way
#   $BENCH_TMP   the benchmark's working folder on a tmpfs (made here when the script is run
#                by hand, and then removed on exit)
#   $BENCH_CACHE inputs made once and shared by the benchmarks of one scripts/bench run (the
#                copy of /usr/include, the large mixed file, archives made by pack.sh for
#                unpack.sh); kept across runs when you export BENCH_CACHE yourself
#   $QUICK       1 for the small, fast variant; $REPS runs of each timed command
#   measure, run_once, ratio, mbps, mib, ... below
#
# Times are wall-clock seconds (the best of $REPS runs, each program taking turns with its peer)
# and CPU seconds (user + system, also the best); the machine is shared, and the best run is the
# one least disturbed by other work. The load average is printed beside each comparison.
# Peak memory is "Maximum resident set size" of /usr/bin/time -v, the largest of the runs.
# shellcheck disable=SC2034 # sets variables for the benchmarks that source it
set -euo pipefail

# Numbers with a decimal point, whatever the caller's locale (bash prints EPOCHREALTIME with
# the locale's separator).
if [ -n "${LC_ALL:-}" ]; then
  export LANG=$LC_ALL
  unset LC_ALL
fi
export LC_NUMERIC=C

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(dirname "$bench_dir")
: "${TARVIK:=$repo_dir/build/linux/tarvik}"
: "${BENCH_TIME:=/usr/bin/time -v}"
QUICK=${QUICK:-0}
if [ "$QUICK" = 1 ]; then
  REPS=${BENCH_REPS:-1}
else
  REPS=${BENCH_REPS:-3}
fi

_bench_own_tmp=""
if [ -z "${BENCH_TMP:-}" ]; then
  BENCH_TMP=$(mktemp -d /dev/shm/tarvik-bench.XXXXXX)
  _bench_own_tmp=$BENCH_TMP
fi
# Folders made elsewhere (on disk) by a benchmark, removed on exit too.
_bench_cleanup=()
_bench_exit() {
  local d
  for d in "${_bench_cleanup[@]}" "$_bench_own_tmp"; do
    [ -n "$d" ] && rm -rf -- "$d"
  done
  return 0
}
trap _bench_exit EXIT
if [ -z "${BENCH_CACHE:-}" ]; then
  BENCH_CACHE=$BENCH_TMP/cache
fi
mkdir -p "$BENCH_CACHE"

for tool in zip unzip openssl /usr/bin/time; do
  command -v "$tool" >/dev/null || {
    echo "bench: $tool is missing (scripts/setup installs it)" >&2
    exit 1
  }
done
[ -x "$TARVIK" ] || {
  echo "bench: no program $TARVIK (build it: cmake --build --preset linux --target tarvik)" >&2
  exit 1
}
# Workers of tarvik pack and unpack (-j); the machine's cores unless BENCH_THREADS says.
THREADS=${BENCH_THREADS:-$(nproc)}
TV=$BENCH_TMP/tarvik
cp "$TARVIK" "$TV"
# The key of archives cached for this very program.
TV_KEY=$(sha1sum "$TV" | cut -c1-12)

MiB=1048576

say() { printf '%s\n' "$*"; }
note() { printf '  %s\n' "$*"; }
now() { echo "$EPOCHREALTIME"; }

# calc EXPR: floating-point arithmetic with awk, printed with up to 6 significant digits.
calc() { awk "BEGIN { print $1 }"; }
# fmt FORMAT EXPR: the same, formatted.
fmt() { awk "BEGIN { printf \"$1\", $2 }"; }
# ratio A B: "A/B" with two decimals, or "-" when B is 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "-"; else printf "%.2f", a / b }'; }
# mbps BYTES SECONDS: throughput in MB/s (10^6 bytes per second).
mbps() { awk -v n="$1" -v s="$2" 'BEGIN { if (s + 0 == 0) print "-"; else printf "%.1f", n / s / 1e6 }'; }
# mib BYTES: size in MiB, one decimal.
mib() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1048576 }'; }
size_of() { stat -c %s "$1"; }
# tree_bytes DIR: the bytes of all files under DIR.
tree_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
tree_files() { find "$1" -type f | wc -l; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
# loadavg: the machine's load average over 1, 5 and 15 minutes.
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# free_kib DIR: what the file system of DIR can still take, in KiB; on a tmpfs also bounded by
# the memory the machine has available, since a tmpfs lives in memory.
free_kib() {
  local avail mem
  avail=$(df -Pk "$1" | awk 'NR == 2 { print $4 }')
  if [ "$(stat -f -c %T "$1")" = tmpfs ]; then
    mem=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
    [ "$mem" -lt "$avail" ] && avail=$mem
  fi
  echo "$avail"
}

# run_once CMD...: runs CMD once under /usr/bin/time -v, its output going to a log. Sets R_WALL
# (seconds), R_CPU (user + system seconds), R_RSS (peak resident KiB). Fails, showing the log,
# when CMD fails.
run_once() {
  local tf=$BENCH_TMP/.time log=$BENCH_TMP/.log t0 t1
  t0=$EPOCHREALTIME
  if ! $BENCH_TIME -o "$tf" "$@" >"$log" 2>&1; then
    echo "bench: failed ($(pwd)): $*" >&2
    tail -n 20 "$log" >&2
    tail -n 25 "$tf" >&2 || true
    return 1
  fi
  t1=$EPOCHREALTIME
  R_WALL=$(calc "$t1 - $t0")
  R_RSS=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$tf")
  R_CPU=$(awk -F': ' '/User time \(seconds\)|System time \(seconds\)/ { s += $2 } END { print s + 0 }' "$tf")
}

# measure PREP -- CMD...: runs PREP (a shell command: removes the previous output) and then
# CMD, $REPS times (PREP is not timed). Sets M_WALL and M_CPU (the best), M_RSS (the largest),
# M_RUNS (every wall time, for the record).
measure() {
  local prep=$1
  shift
  [ "$1" = -- ] && shift
  local walls=() cpus=() rsss=() i
  for ((i = 0; i < REPS; i++)); do
    eval "$prep"
    run_once "$@" || return 1
    walls+=("$R_WALL")
    cpus+=("$R_CPU")
    rsss+=("$R_RSS")
  done
  M_WALL=$(best "${walls[@]}")
  M_CPU=$(best "${cpus[@]}")
  M_RSS=$(maximum "${rsss[@]}")
  M_RUNS="${walls[*]}"
}

# ---- inputs ----------------------------------------------------------------------------------

# include_copy: a folder "inc" in the cache holding a copy of /usr/include with links followed
# (so both programs see plain files; a link into /usr/lib would dangle in a copy). The whole
# tree normally, /usr/include/c++ and /usr/include/linux only with QUICK=1. Prints its path.
include_copy() {
  local dir=$BENCH_CACHE/include-q$QUICK
  if [ ! -d "$dir/inc" ]; then
    rm -rf "$dir"
    mkdir -p "$dir/inc.new"
    if [ "$QUICK" = 1 ]; then
      cp -rL /usr/include/c++ /usr/include/linux "$dir/inc.new/"
    else
      cp -rL /usr/include/. "$dir/inc.new/" 2>/dev/null || true
    fi
    # Names the archive's code page cannot hold would make a run of tarvik fail, not measure.
    # /usr/include has none; this only guards against a strange machine.
    find "$dir/inc.new" -depth -name '*[^ -~]*' -exec rm -rf {} + 2>/dev/null || true
    mv "$dir/inc.new" "$dir/inc"
  fi
  echo "$dir/inc"
}

# random_stream: an endless stream of pseudo-random bytes from a fixed key (AES in counter mode),
# the same on every run and much faster than /dev/urandom.
random_stream() {
  openssl enc -aes-128-ctr -nosalt -K 54617276696b2062656e63682073656564 \
    -iv 000102030405060708090a0b0c0d0e0f </dev/zero 2>/dev/null || true
}
# random_file PATH BYTES
random_file() { random_stream | head -c "$2" >"$1"; }

# text_corpus: C headers of /usr/include, one after the other in a fixed order, in the cache,
# at least 64 MiB (repeated when the headers are fewer). Prints its path.
text_corpus() {
  local f=$BENCH_CACHE/corpus.txt
  if [ ! -f "$f" ]; then
    find /usr/include -type f -name '*.h' -print0 | LC_ALL=C sort -z | xargs -0 cat >"$f.new"
    while [ "$(size_of "$f.new")" -lt $((64 * MiB)) ]; do
      cat "$f.new" "$f.new" >"$f.two" && mv "$f.two" "$f.new"
    done
    mv "$f.new" "$f"
  fi
  echo "$f"
}

# mixed_file PATH MIB: MIB mebibytes in 1 MiB pieces, every fourth piece pseudo-random, the
# others successive pieces of the text corpus: about what a folder of documents, sources and
# already-compressed pictures gives a compressor.
mixed_file() {
  local out=$1 n=$2 corpus corpus_mib rnd i t=0 r=0
  corpus=$(text_corpus)
  corpus_mib=$(($(size_of "$corpus") / MiB))
  rnd=$out.rnd
  random_file "$rnd" $(((n / 4 + 1) * MiB))
  {
    for ((i = 0; i < n; i++)); do
      if ((i % 4 == 3)); then
        dd if="$rnd" bs=1M skip=$r count=1 status=none
        r=$((r + 1))
      else
        dd if="$corpus" bs=1M skip=$((t % corpus_mib)) count=1 status=none
        t=$((t + 1))
      fi
    done
  } >"$out.new"
  rm -f "$rnd"
  mv "$out.new" "$out"
}

# big_file: the large mixed file of pack.sh and unpack.sh, in the cache (512 MiB, or 64 MiB
# with QUICK=1). Prints its path.
big_file() {
  local n=512
  [ "$QUICK" = 1 ] && n=64
  local f=$BENCH_CACHE/big-$n/big.bin
  if [ ! -f "$f" ]; then
    mkdir -p "$(dirname "$f")"
    mixed_file "$f" $n
  fi
  echo "$f"
}

# link_tree SRC DEST: DEST becomes a copy of SRC made of hard links when both are on the same
# file system (instant, no memory), a real copy otherwise.
link_tree() {
  rm -rf "$2"
  cp -al "$1" "$2" 2>/dev/null || {
    rm -rf "$2"
    cp -r "$1" "$2"
  }
}

# many_empty_files DIR FLAT FOLDERS PER_FOLDER: in DIR, the folder "flat" of FLAT empty files
# (f00000.txt, ...) and the folders d00, d01, ... (FOLDERS of them) of PER_FOLDER empty files
# each (d00_0000.txt, ...): an archive of many entries and few levels.
many_empty_files() {
  local dir=$1 flat=$2 folders=$3 per_folder=$4 i d
  mkdir -p "$dir/flat"
  (cd "$dir/flat" && seq -f 'f%05g.txt' 0 $((flat - 1)) | xargs touch)
  for ((i = 0; i < folders; i++)); do
    d=$(printf 'd%02d' "$i")
    mkdir -p "$dir/$d"
    (cd "$dir/$d" && seq -f "${d}_%04g.txt" 0 $((per_folder - 1)) | xargs touch)
  done
}

# Archives of the inputs made by pack.sh, kept for unpack.sh: cached_archive NAME prints the
# cache path for NAME (e.g. inc.kzv) made by this very tarvik program.
cached_archive() { echo "$BENCH_CACHE/archives-$TV_KEY/$1"; }

hr() { printf '%s\n' "------------------------------------------------------------------------------------------"; }

# compare PREP_A CMD_A PREP_B CMD_B: two commands (shell text; the PREP commands, untimed, remove
# what the previous run left) run in turn A, B, A, B, ... $REPS times each, so that a change in
# the machine's load falls on both alike. Sets A_WALL A_CPU A_RSS and B_WALL B_CPU B_RSS (best
# times, largest peak memory) and CMP_LOAD (the load average before and after).
compare() {
  local wa=() ca=() ra=() wb=() cb=() rb=() i load0
  load0=$(loadavg)
  for ((i = 0; i < REPS; i++)); do
    eval "$1"
    eval "run_once $2" || return 1
    wa+=("$R_WALL") ca+=("$R_CPU") ra+=("$R_RSS")
    eval "$3"
    eval "run_once $4" || return 1
    wb+=("$R_WALL") cb+=("$R_CPU") rb+=("$R_RSS")
  done
  A_WALL=$(best "${wa[@]}") A_CPU=$(best "${ca[@]}") A_RSS=$(maximum "${ra[@]}")
  B_WALL=$(best "${wb[@]}") B_CPU=$(best "${cb[@]}") B_RSS=$(maximum "${rb[@]}")
  A_RUNS="${wa[*]}" B_RUNS="${wb[*]}"
  CMP_LOAD="load $load0 before, $(loadavg) after"
}

# Table of a comparison: table_head, then table_row per program, then table_ratio.
table_head() {
  printf '%-24s %-13s %8s %8s %8s %9s %11s\n' "input" "program" "wall s" "MB/s" "CPU s" \
    "peak MiB" "archive MiB"
}
# table_row INPUT PROGRAM INPUT_BYTES WALL CPU RSS_KIB [ARCHIVE_BYTES]
table_row() {
  local size="-"
  [ -n "${7:-}" ] && size=$(mib "$7")
  printf '%-24s %-13s %8.2f %8s %8.2f %9s %11s\n' "$1" "$2" "$4" "$(mbps "$3" "$4")" "$5" \
    "$(fmt %.1f "$6 / 1024")" "$size"
}
# table_ratio LABEL WALL_A WALL_B CPU_A CPU_B RSS_A RSS_B [SIZE_A SIZE_B]: A/B of each figure
# (below 1: A takes less time, memory or room).
table_ratio() {
  local size="-"
  [ -n "${8:-}" ] && size=$(ratio "$8" "$9")
  printf '%-24s %-13s %8s %8s %8s %9s %11s\n' "" "$1" "$(ratio "$2" "$3")" \
    "$(ratio "$3" "$2")" "$(ratio "$4" "$5")" "$(ratio "$6" "$7")" "$size"
}

# table_load: the load average around the last comparison, and every wall time it measured.
table_load() {
  printf '%-24s %s; runs: %s | %s s\n' "" "$CMP_LOAD" "$A_RUNS" "$B_RUNS"
}

# explain_runs A B: what the figures of a comparison table are.
explain_runs() {
  say "Each command runs $REPS time(s), $1 and $2 in turn; wall and CPU seconds are the best"
  say "run of each, peak memory the largest. Ratios are $1/$2: below 1.00 $1 takes less time,"
  say "memory or room (MB/s: above 1.00 $1 is faster)."
}

# ensure_archives KEY DIR ITEM: the cached archives KEY.kzv and KEY.zip of DIR/ITEM (packed by
# this tarvik and by zip -6 -r), made now, untimed, when pack.sh has not left them.
ensure_archives() {
  local key=$1 dir=$2 item=$3 archives
  archives=$(dirname "$(cached_archive x)")
  mkdir -p "$archives"
  if [ ! -f "$archives/$key.kzv" ]; then
    note "packing $item with tarvik (untimed)"
    (cd "$dir" && rm -f "$key.kzv" && "$TV" pack -n "$key" "$item" >/dev/null &&
      mv "$key.kzv" "$archives/")
  fi
  if [ ! -f "$archives/$key.zip" ]; then
    note "packing $item with zip (untimed)"
    (cd "$dir" && rm -f "$key.zip" && zip -6 -r -q "$key.zip" "$item" && mv "$key.zip" "$archives/")
  fi
}
