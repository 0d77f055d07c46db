#!/usr/bin/env bash
# Abort inside one big file: `tarvik pack` of the large mixed file (512 MiB; 64 MiB with
# QUICK=1) and `tarvik unpack` of its archive, each sent SIGINT (which the console program
# takes as Abort) once what it writes has reached a set size: for packing, an eighth of the
# file's bytes in the run's files (the archive and its work file); for unpacking, a quarter
# of the file's bytes in the target folder. Measured:
#   latency  seconds from the signal to the end of the process (the rollback is done then),
#   growth   bytes the run's files still grew by after the signal (work done in flight that
#            was written anyway),
# and that the run ended with status 3 and left the folder as it was. The peers get the same
# signal at the same point: `zip -6` of the same file and `unzip` of its zip archive (both end
# at once on SIGINT, zip removing its temporary file). The best of $REPS runs is shown, and
# every run.
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

work=$BENCH_TMP/abort
mkdir -p "$work/src" "$work/out"
big=$(big_file)
ln "$big" "$work/src/big.bin" 2>/dev/null || cp "$big" "$work/src/big.bin"
big_bytes=$(size_of "$work/src/big.bin")
ensure_archives big "$work/src" big.bin
archives=$(dirname "$(cached_archive x)")

say "Abort inside one file of $(mib "$big_bytes") MiB (mixed data), on a tmpfs"
note "tarvik -j $THREADS; $(nproc) cores, load $(loadavg)"
say "Each run gets SIGINT once its output reaches the size shown; latency is the best of $REPS"
say "runs (signal to the end of the process), growth the largest of what was still written."
echo

# dir_bytes DIR [EXCEPT]: the bytes of the files under DIR, the file named EXCEPT left out.
dir_bytes() {
  find "$1" -type f ! -name "${2:-/}" -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'
}

# interrupt DIR EXCEPT AT CMD...: starts CMD (in DIR), waits until the files of DIR but EXCEPT
# hold AT bytes, sends SIGINT, and follows the size until the process ends. Sets I_LATENCY
# (seconds), I_GROWTH (bytes written after the signal), I_STATUS (exit status), I_AT (bytes at
# the signal).
interrupt() {
  local dir=$1 except=$2 at=$3
  shift 3
  local pid size t0 t1 top
  (cd "$dir" && exec "$@" >"$BENCH_TMP/.log" 2>&1) &
  pid=$!
  size=0
  while :; do
    size=$(dir_bytes "$dir" "$except")
    [ "$size" -ge "$at" ] && break
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "bench: ended before it wrote $at bytes: $*" >&2
      tail -n 5 "$BENCH_TMP/.log" >&2
      return 1
    fi
  done
  t0=$EPOCHREALTIME
  kill -INT "$pid"
  I_AT=$size
  top=$size
  while kill -0 "$pid" 2>/dev/null; do
    size=$(dir_bytes "$dir" "$except")
    [ "$size" -gt "$top" ] && top=$size
  done
  I_STATUS=0
  wait "$pid" || I_STATUS=$?
  t1=$EPOCHREALTIME
  I_LATENCY=$(calc "$t1 - $t0")
  I_GROWTH=$((top - I_AT))
}

# abort_case LABEL DIR EXCEPT AT STATUS LEFT PREP CMD...: $REPS interrupted runs; STATUS is the
# exit status wanted (- for any), LEFT the number of files DIR must hold afterwards.
abort_case() {
  local label=$1 dir=$2 except=$3 at=$4 want=$5 left=$6 prep=$7
  shift 7
  local lat=() growth=() i
  for ((i = 0; i < REPS; i++)); do
    eval "$prep"
    interrupt "$dir" "$except" "$at" "$@" || exit 1
    if [ "$want" != - ] && [ "$I_STATUS" != "$want" ]; then
      echo "bench: $label ended with status $I_STATUS, not $want" >&2
      tail -n 5 "$BENCH_TMP/.log" >&2
      exit 1
    fi
    if [ "$(find "$dir" -type f | wc -l)" != "$left" ]; then
      echo "bench: $label left files behind:" >&2
      find "$dir" -type f -printf '  %p %s\n' >&2
      exit 1
    fi
    lat+=("$I_LATENCY")
    growth+=("$I_GROWTH")
  done
  printf '%-26s %10s %9.3f %12s   runs: %s s\n' "$label" "$(mib "$at")" "$(best "${lat[@]}")" \
    "$(mib "$(maximum "${growth[@]}")")" "${lat[*]}"
  A_LAT=$(best "${lat[@]}")
}

printf '%-26s %10s %9s %12s\n' "run" "at MiB" "latency s" "growth MiB"
pack_at=$((big_bytes / 8))
abort_case "tarvik pack" "$work/src" big.bin "$pack_at" 3 1 "rm -f $work/src/a.*" \
  "$TV" pack -j "$THREADS" -n a big.bin
tv_pack=$A_LAT
# One worker: blocks come one after the other, each sooner than the taker's wait runs out.
abort_case "tarvik pack -j 1" "$work/src" big.bin "$pack_at" 3 1 "rm -f $work/src/a.*" \
  "$TV" pack -j 1 -n a big.bin
abort_case "zip -6" "$work/src" big.bin "$pack_at" - 1 "rm -f $work/src/a.* $work/src/zi*" \
  zip -6 -q a.zip big.bin
zip_pack=$A_LAT
unpack_at=$((big_bytes / 4))
abort_case "tarvik unpack" "$work/out" - "$unpack_at" 3 0 "rm -rf $work/out/*" \
  "$TV" unpack -j "$THREADS" "$archives/big.kzv" -C "$work/out"
tv_unpack=$A_LAT
abort_case "unzip" "$work/out" - "$unpack_at" - 1 "rm -rf $work/out/*" \
  unzip -q "$archives/big.zip" -d "$work/out"
unzip_unpack=$A_LAT
echo
say "Latency against the peer: pack x$(ratio "$tv_pack" "$zip_pack"), unpack x$(ratio "$tv_unpack" "$unzip_unpack")"
say "(unzip leaves the half-written file; tarvik and zip leave the folder as it was)"
