#!/usr/bin/env bash
# Unpacking: `tarvik unpack ARCHIVE -C FOLDER` against `unzip -q ARCHIVE -d FOLDER` on the
# inputs of pack.sh (the /usr/include copy and the large mixed file), each packed by its own
# program (pack.sh leaves the archives in the cache; they are made here otherwise). Wall time
# (best of $REPS runs, the programs taking turns), MB/s of unpacked data, CPU time and peak
# resident memory, and the ratios tarvik/unzip; tarvik runs with -j $THREADS, unzip on one
# core. The large file is also unpacked by pigz -d (gzip -6 of the same file, made untimed) when
# pigz is installed: zlib's inflate with reading, checking and writing on threads of their own.
# Both results are compared with the originals (untimed). Everything on a tmpfs.
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

work=$BENCH_TMP/unpack
mkdir -p "$work/folder" "$work/file"

say "Inputs (made once, kept in $BENCH_CACHE):"
inc=$(include_copy)
link_tree "$inc" "$work/folder/inc"
big=$(big_file)
ln "$big" "$work/file/big.bin" 2>/dev/null || cp "$big" "$work/file/big.bin"
inc_bytes=$(tree_bytes "$inc")
big_bytes=$(size_of "$big")
note "folder: $(mib "$inc_bytes") MiB in $(tree_files "$inc") files"
note "file:   $(mib "$big_bytes") MiB, mixed (1/4 pseudo-random, 3/4 text)"
ensure_archives "inc-q$QUICK" "$work/folder" inc
ensure_archives "big-q$QUICK" "$work/file" big.bin
archives=$(dirname "$(cached_archive x)")
explain_runs tarvik unzip
note "threads: tarvik -j $THREADS, unzip 1, pigz -d -p $THREADS; $(nproc) cores, load $(loadavg)"
echo

summary=()
status=0
# unpack_case LABEL KEY BYTES ORIGINAL ITEM
unpack_case() {
  local label=$1 key=$2 bytes=$3 original=$4 item=$5 kzv zipf
  kzv=$archives/$key.kzv
  zipf=$archives/$key.zip
  cd "$work" || exit 1
  compare "rm -rf out-tv" "$(printf '%q ' "$TV" unpack -j "$THREADS" "$kzv" -C out-tv)" \
    "rm -rf out-zip" "$(printf '%q ' unzip -q "$zipf" -d out-zip)"
  table_row "$label" "tarvik unpack" "$bytes" "$A_WALL" "$A_CPU" "$A_RSS" "$(size_of "$kzv")"
  table_row "" "unzip" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$(size_of "$zipf")"
  table_ratio "tarvik/unzip" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS"
  table_load
  summary+=("$(printf '%-17s wall x%s (%.2f s vs %.2f s, %s vs %s MB/s), CPU x%s, peak memory x%s (%.1f vs %.1f MiB)' \
    "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" "$(mbps "$bytes" "$A_WALL")" \
    "$(mbps "$bytes" "$B_WALL")" "$(ratio "$A_CPU" "$B_CPU")" "$(ratio "$A_RSS" "$B_RSS")" \
    "$(calc "$A_RSS / 1024")" "$(calc "$B_RSS / 1024")")")
  if [ "$label" = "file (mixed)" ] && command -v pigz >/dev/null; then
    local gz=$archives/$key.gz
    [ -f "$gz" ] || pigz -6 -c -p "$THREADS" "$original/$item/big.bin" >"$gz"
    ln -f "$gz" big.bin.gz 2>/dev/null || cp "$gz" big.bin.gz
    compare "rm -rf out-tv" "$(printf '%q ' "$TV" unpack -j "$THREADS" "$kzv" -C out-tv)" \
      "rm -f big.bin" "$(printf '%q ' pigz -d -k -f -p "$THREADS" big.bin.gz)"
    table_row "" "pigz -d" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$(size_of "$gz")"
    table_ratio "tarvik/pigz" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS"
    table_load
    summary+=("$(printf '%-17s wall x%s (%.2f s vs %.2f s) against pigz -d -p %s' \
      "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" "$THREADS")")
    if ! cmp -s big.bin "$original/$item/big.bin"; then
      summary+=("$label: the result of pigz differs from the original")
      status=1
    fi
    rm -f big.bin big.bin.gz
  fi
  local out
  for out in out-tv out-zip; do
    if ! diff -r -q "$original" "$out/$item" >/dev/null; then
      summary+=("$label: the result of ${out#out-} differs from the original (diff -r $original $work/$out/$item)")
      status=1
    fi
  done
  rm -rf out-tv out-zip
  cd - >/dev/null || exit 1
}

start=$EPOCHREALTIME
table_head
hr
unpack_case "folder (include)" "inc-q$QUICK" "$inc_bytes" "$inc" inc
unpack_case "file (mixed)" "big-q$QUICK" "$big_bytes" "$(dirname "$big")" .
hr
echo
say "Summary, tarvik/unzip:"
for line in "${summary[@]}"; do note "$line"; done
say "unpack.sh measured in $(fmt %.0f "$EPOCHREALTIME - $start") s"
exit $status
