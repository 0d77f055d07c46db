#!/usr/bin/env bash
# The archive browser of Tarvik.exe on an archive of 100,000 entries: how long a level takes
# to show in the window, against `tarvik list` of the same level in the same run.
#
# The archive: 100,000 small files and 51 folders, packed by tarvik: "flat" holds 50,000
# files, d00 to d49 hold 1,000 files each, so the top level has 51 rows, \flat 50,000 and \d07
# 1,000. Every listing walks the whole archive (the data are seeked over).
#
#   window        bench_browser (the windows of Tarvik.exe, in-process under Wine with a
#                 virtual display): from the user's action to the list painted with the level's
#                 rows. open: Obzor on the archive (password check, top level); down \flat and
#                 down \d07: Enter on the folder row; back: "назад" to the top
#   tarvikc list  the Windows console program under Wine, `tarvikc list A LEVEL > file`, one
#                 whole process per run (its start-up, `tarvikc --help` timed alike, is shown)
#   tarvik list   the Linux program, natively
#
# The Windows edition is the one this machine runs (scripts/windows-editions); its programs are
# built here when missing. Medians of $REPS runs (7; 3 with QUICK=1; QUICK uses 20,000 entries).
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

if [ "$QUICK" = 1 ]; then
  REPS=${BENCH_REPS:-3}
  flat=10000 folders=10 per_folder=1000
else
  REPS=${BENCH_REPS:-7}
  flat=50000 folders=50 per_folder=1000
fi

start=$EPOCHREALTIME
{
  read -r editions
  read -r why
} < <(bash "$repo_dir/scripts/windows-editions") || true
edition=${editions##* }
if [ -z "$edition" ]; then
  say "browser.sh: SKIPPED: no Windows edition runs here ($why)"
  exit 0
fi
for tool in Xvfb x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || {
    say "browser.sh: SKIPPED: $tool is missing (scripts/setup installs it)"
    exit 0
  }
done
win_build=$repo_dir/build/$edition
say "Building the $edition programs (bench_browser, tarvikc)..."
(cd "$repo_dir" && cmake --preset "$edition" >/dev/null &&
  cmake --build --preset "$edition" -j2 --target bench_browser tarvik >/dev/null)
# Private copies, as for the Linux program.
cp "$win_build/bench_browser.exe" "$win_build/tarvikc.exe" "$BENCH_TMP/"
BB=$BENCH_TMP/bench_browser.exe
TC=$BENCH_TMP/tarvikc.exe

# shellcheck source=scripts/virtual-display.bash
source "$repo_dir/scripts/virtual-display.bash"
start_virtual_display
trap 'stop_virtual_display; _bench_exit' EXIT
export TARVIK_WINEPREFIX=$win_build/wineprefix
WR=$repo_dir/cmake/wine-run
"$WR" --init >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }

# The archive.
work=$BENCH_TMP/browser
say "Making the archive (untimed): $((flat + folders * per_folder)) files in $((folders + 1)) folders..."
many_empty_files "$work/src" "$flat" "$folders" "$per_folder"
(cd "$work/src" && "$TV" pack -n big flat d* >/dev/null)
archive=$work/src/big.kzv
entries=$(($("$TV" list "$archive" -r | wc -l) - 1))
rm -rf "$work/src/flat" "$work/src"/d[0-9]*
say "Archive: $(mib "$(size_of "$archive")") MiB, $entries entries"

# 1. The window, $REPS rounds in one process.
"$WR" "$BB" "$(winpath "$archive")" "$REPS" flat d07 >"$work/window.txt"
# (The level goes through the environment: awk -v would read "\f" of "\flat" as a form feed.)
step_ms() { S=$1 L=$2 awk '$1 == ENVIRON["S"] && $2 == ENVIRON["L"] { print $4 }' "$work/window.txt"; }
step_rows() { S=$1 L=$2 awk '$1 == ENVIRON["S"] && $2 == ENVIRON["L"] { print $3; exit }' "$work/window.txt"; }
# shellcheck disable=SC2046 # one figure per run
w_open=$(median $(step_ms open '\'))
# shellcheck disable=SC2046
w_flat=$(median $(step_ms down '\flat'))
# shellcheck disable=SC2046
w_d07=$(median $(step_ms down '\d07'))
# shellcheck disable=SC2046
w_back=$(median $(step_ms back '\'))

# 2. tarvikc list and tarvik list of the same levels, in turn, $REPS times each.
declare -A runs
levels=('' '\flat' '\d07')
for ((i = 0; i < REPS; i++)); do
  run_once "$WR" "$TC" --help
  runs[start]+=" $R_WALL"
  for level in "${levels[@]}"; do
    run_once "$WR" "$TC" list "$(winpath "$archive")" $level
    runs[wine$level]+=" $R_WALL"
    run_once "$TV" list "$archive" $level
    runs[linux$level]+=" $R_WALL"
  done
done
med() {
  # shellcheck disable=SC2086
  median ${runs[$1]}
}
startup=$(med start)
ms() { fmt %.0f "$1 * 1000"; }

echo
say "The browser on an archive of $entries entries ($REPS runs each; medians). Window: from the"
say "action to the list painted, in-process. tarvikc list: whole processes under Wine (the"
say "start-up of one, tarvikc --help, is $(ms "$startup") ms). Ratios: window / tarvikc, window / linux."
printf '%-16s %8s %10s %12s %10s %9s %9s\n' "level" "rows" "window ms" "tarvikc ms" "linux ms" "x tarvikc" "x linux"
hr
row() {
  local label=$1 rows=$2 window=$3 level=$4 wine linux
  wine=$(calc "$(med "wine$level") * 1000")
  linux=$(calc "$(med "linux$level") * 1000")
  printf '%-16s %8s %10s %12s %10s %9s %9s\n' "$label" "$rows" "$(fmt %.0f "$window")" \
    "$(fmt %.0f "$wine")" "$(fmt %.0f "$linux")" "$(ratio "$window" "$wine")" "$(ratio "$window" "$linux")"
}
row "top (open)" "$(step_rows open '\')" "$w_open" ''
row "top (назад)" "$(step_rows back '\')" "$w_back" ''
row '\flat' "$(step_rows down '\flat')" "$w_flat" '\flat'
row '\d07' "$(step_rows down '\d07')" "$w_d07" '\d07'
hr
say "browser.sh took $(fmt %.0f "$EPOCHREALTIME - $start") s"
