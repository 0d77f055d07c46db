#!/usr/bin/env bash
# Packing: `tarvik pack` against `zip -6 -r -q` (the same default level) on
#   (a) a real folder: a copy of /usr/include (about 150 MB, 8,500 files; with QUICK=1 only its
#       c++ and linux folders), and
#   (b) one large file: 512 MiB of mixed data, a quarter pseudo-random and three quarters C
#       text, in 1 MiB pieces (64 MiB with QUICK=1).
# Wall time (best of $REPS runs, the programs taking turns), MB/s of input, CPU time, peak
# resident memory and archive size of each, and the ratios tarvik/zip; tarvik runs with
# -j $THREADS (the machine's cores unless BENCH_THREADS says), zip on one core. The large file is
# also packed by pigz (parallel gzip, -6, as many threads) when it is installed: the same
# zlib work spread over the same cores. Everything on a tmpfs.
# Then the folder at the main window's fastest and maximal levels, -l 1 and -l 11, and at the
# highest, -l 12, against zip -1 and zip -9. The archives of the default level are left in the cache for unpack.sh.
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

work=$BENCH_TMP/pack
mkdir -p "$work/folder" "$work/file"

say "Inputs (made once, kept in $BENCH_CACHE):"
inc=$(include_copy)
link_tree "$inc" "$work/folder/inc"
big=$(big_file)
ln "$big" "$work/file/big.bin" 2>/dev/null || cp "$big" "$work/file/big.bin"
inc_bytes=$(tree_bytes "$work/folder/inc")
big_bytes=$(size_of "$work/file/big.bin")
note "folder: $(mib "$inc_bytes") MiB in $(tree_files "$work/folder/inc") files ($inc)"
note "file:   $(mib "$big_bytes") MiB, mixed (1/4 pseudo-random, 3/4 text)"
explain_runs tarvik zip
note "threads: tarvik -j $THREADS, zip 1, pigz -p $THREADS; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo

archives=$(dirname "$(cached_archive x)")
mkdir -p "$archives"

summary=()
# pack_case LABEL DIR ITEM BYTES: packs DIR/ITEM with both programs, archives in DIR.
pack_case() {
  local label=$1 dir=$2 item=$3 bytes=$4 key=$5
  cd "$dir" || exit 1
  compare "rm -f a.kzv" "$(printf '%q ' "$TV" pack -j "$THREADS" -n a "$item")" \
    "rm -f a.zip" "$(printf '%q ' zip -6 -r -q a.zip "$item")"
  local tv_size zip_size
  tv_size=$(size_of a.kzv)
  zip_size=$(size_of a.zip)
  table_row "$label" "tarvik pack" "$bytes" "$A_WALL" "$A_CPU" "$A_RSS" "$tv_size"
  table_row "" "zip -6 -r" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$zip_size"
  table_ratio "tarvik/zip" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS" \
    "$tv_size" "$zip_size"
  table_load
  summary+=("$(printf '%-17s wall x%s (%.2f s vs %.2f s), CPU x%s, peak memory x%s (%.1f vs %.1f MiB), size x%s' \
    "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" "$(ratio "$A_CPU" "$B_CPU")" \
    "$(ratio "$A_RSS" "$B_RSS")" "$(calc "$A_RSS / 1024")" "$(calc "$B_RSS / 1024")" \
    "$(ratio "$tv_size" "$zip_size")")")
  if [ "$label" = "file (mixed)" ] && command -v pigz >/dev/null; then
    local tv_wall=$A_WALL tv_cpu=$A_CPU tv_rss=$A_RSS
    compare "rm -f a.kzv" "$(printf '%q ' "$TV" pack -j "$THREADS" -n a "$item")" \
      "rm -f $item.gz" "$(printf '%q ' pigz -6 -k -p "$THREADS" "$item")"
    local gz_size
    gz_size=$(size_of "$item.gz")
    table_row "" "pigz -6" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$gz_size"
    table_ratio "tarvik/pigz" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS" \
      "$(size_of a.kzv)" "$gz_size"
    table_load
    summary+=("$(printf '%-17s wall x%s (%.2f s vs %.2f s), CPU x%s against pigz -6 -p %s' \
      "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" "$(ratio "$A_CPU" "$B_CPU")" \
      "$THREADS")")
    rm -f "$item.gz"
    A_WALL=$tv_wall A_CPU=$tv_cpu A_RSS=$tv_rss
  fi
  mv a.kzv "$archives/$key.kzv"
  mv a.zip "$archives/$key.zip"
  cd - >/dev/null || exit 1
}

# level_case LABEL DIR ITEM BYTES LEVEL ZIPLEVEL: tarvik pack -l LEVEL against zip -ZIPLEVEL; the
# archives are dropped.
level_case() {
  local label=$1 dir=$2 item=$3 bytes=$4 level=$5 zip_level=$6
  cd "$dir" || exit 1
  compare "rm -f l.kzv" "$(printf '%q ' "$TV" pack -j "$THREADS" -l "$level" -n l "$item")" \
    "rm -f l.zip" "$(printf '%q ' zip "-$zip_level" -r -q l.zip "$item")"
  local tv_size zip_size
  tv_size=$(size_of l.kzv)
  zip_size=$(size_of l.zip)
  table_row "$label" "tarvik -l $level" "$bytes" "$A_WALL" "$A_CPU" "$A_RSS" "$tv_size"
  table_row "" "zip -$zip_level -r" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$zip_size"
  table_ratio "tarvik/zip" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS" \
    "$tv_size" "$zip_size"
  table_load
  summary+=("$(printf '%-17s wall x%s (%.2f s vs %.2f s), CPU x%s, size x%s (%s vs %s bytes) against zip -%s' \
    "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" "$(ratio "$A_CPU" "$B_CPU")" \
    "$(ratio "$tv_size" "$zip_size")" "$tv_size" "$zip_size" "$zip_level")")
  rm -f l.kzv l.zip
  cd - >/dev/null || exit 1
}

start=$EPOCHREALTIME
table_head
hr
pack_case "folder (include)" "$work/folder" inc "$inc_bytes" "inc-q$QUICK"
pack_case "file (mixed)" "$work/file" big.bin "$big_bytes" "big-q$QUICK"
# The levels of the main window's "быстрое" (1) and "максимальное" (11) against zip's fastest
# and best, and the console's highest level, 12.
level_case "folder, -l 1" "$work/folder" inc "$inc_bytes" 1 1
level_case "folder, -l 11" "$work/folder" inc "$inc_bytes" 11 9
level_case "folder, -l 12" "$work/folder" inc "$inc_bytes" 12 9
hr
echo
say "Summary, tarvik/zip:"
for line in "${summary[@]}"; do note "$line"; done
say "pack.sh measured in $(fmt %.0f "$EPOCHREALTIME - $start") s"
