#!/usr/bin/env bash
# Opening a folder of 10,000 entries in the main window of Tarvik.exe, under Wine on a virtual
# display: bench_folder_view (bench/folder_view.cpp) creates the program's windows, opens the
# folder as the user does (read, sorted, shown, the rows on screen drawn with their icons and
# types) and times it, then times `cmd /c dir /a` listing the same folder, minus its time for
# an empty folder, in the same run. Ratio = window/dir: below 1.00 the window is faster.
# The folder: 1,000 folders and 9,000 files of twelve kinds, Russian and Latin names, on the
# tmpfs. Runs: 7 (3 with QUICK=1).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)
: "${BENCH_TMP:=$(mktemp -d /dev/shm/tarvik-bench.XXXXXX)}"
runs=7
[ "${QUICK:-0}" = 1 ] && runs=3

{
  read -r editions
  read -r why
} < <(bash scripts/windows-editions) || true
edition=${editions##* }
[ -n "$edition" ] || { echo "folder_view: SKIPPED ($why)"; exit 0; }
cmake --preset "$edition" >/dev/null
cmake --build --preset "$edition" -j2 --target bench_folder_view >/dev/null

folder=$BENCH_TMP/Папка
mkdir -p "$folder" "$BENCH_TMP/empty"
kinds=(txt doc pdf jpg png kzv zip csv exe ini log xml)
(
  cd "$folder"
  for i in $(seq -w 1 1000); do mkdir "папка $i"; done
  for i in $(seq -w 1 9000); do
    kind=${kinds[$((10#$i % ${#kinds[@]}))]}
    if ((10#$i % 2)); then : >"file $i.$kind"; else echo "$i" >"файл $i.$kind"; fi
  done
)
echo "folder: $(find "$folder" -mindepth 1 -maxdepth 1 | wc -l) entries ($edition, $runs runs, medians)"

# shellcheck source=scripts/virtual-display.bash
source scripts/virtual-display.bash
start_virtual_display
win() { echo "Z:${1//\//\\}"; }
TARVIK_WINEPREFIX="$repo/build/$edition/wineprefix" TARVIK_WINEARCH=$edition \
  cmake/wine-run "build/$edition/bench_folder_view.exe" "$(win "$folder")" "$(win "$BENCH_TMP/empty")" "$runs"
stop_virtual_display
