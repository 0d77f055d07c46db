#!/usr/bin/env bash
# Memory stays bounded whatever the size of a file: `tarvik pack` of one 2 GiB file (512 MiB
# with QUICK=1) and `tarvik unpack` of its archive must each peak under 64 MiB of resident
# memory (BENCH_RSS_LIMIT_MIB to change it), with the most workers tarvik takes (-j 32). The file is a 16 MiB block of mixed data (a
# quarter pseudo-random, three quarters C text) written over and over: real bytes, no holes,
# and as compressible as pack.sh's large file. zip -6 and unzip do the same work in the same
# run, as the peer. Exits non-zero when tarvik goes over the limit or unpacks wrong bytes.
#
# Room: the file, its two archives and the spill of the compressed data (up to about twice
# the file) go to the tmpfs when it has room (and the machine the memory: a tmpfs lives in
# it); otherwise to a folder under /work (a disk: the output says so).
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

n=2048
[ "$QUICK" = 1 ] && n=512
limit_mib=${BENCH_RSS_LIMIT_MIB:-64}
limit_kib=$((limit_mib * 1024))
need_kib=$(((n * 2 + 1024) * 1024))

where=tmpfs
dir=$BENCH_TMP/memory
mkdir -p "$dir"
if [ "$(free_kib "$dir")" -lt "$need_kib" ]; then
  rmdir "$dir"
  if [ "$(free_kib /work)" -ge "$need_kib" ]; then
    where="disk (/work: the tmpfs or the memory lacks room)"
    dir=$(mktemp -d /work/tarvik-bench-memory.XXXXXX)
    _bench_cleanup+=("$dir")
  else
    say "pack_memory.sh: SKIPPED: neither the tmpfs nor /work has $((need_kib / 1024)) MiB free"
    exit 0
  fi
fi

block=$BENCH_CACHE/block16.bin
[ -f "$block" ] || mixed_file "$block" 16
blocks=$((n / 16))
# whole_file: the bytes of the large file, on standard output.
whole_file() {
  local i
  for ((i = 0; i < blocks; i++)); do cat "$block"; done
}

start=$EPOCHREALTIME
say "Input: one file of $n MiB (a 16 MiB mixed block $blocks times), on $where: $dir"
whole_file >"$dir/big.bin"
bytes=$(size_of "$dir/big.bin")
say "One run of each command; the limit for tarvik is $limit_mib MiB of peak resident memory."
echo

status=0
# verdict PEAK_KIB: pass or FAIL (printed; called in $(...), so the exit status is set apart,
# by check_limit).
verdict() {
  if [ "$1" -le "$limit_kib" ]; then
    echo "pass"
  else
    echo "FAIL (over $limit_mib MiB)"
  fi
}
check_limit() { [ "$1" -le "$limit_kib" ] || status=1; }
# same_bytes FILE: FILE holds the bytes of the large file.
same_bytes() { whole_file | cmp -s - "$1"; }

printf '%-15s %8s %8s %8s %9s %11s  %s\n' "program" "wall s" "MB/s" "CPU s" "peak MiB" \
  "archive MiB" "tarvik under $limit_mib MiB?"
hr
cd "$dir" || exit 1
run_once "$TV" pack -j 32 -n a big.bin
tv=("$R_WALL" "$R_CPU" "$R_RSS")
tv_size=$(size_of a.kzv)
run_once zip -6 -q a.zip big.bin
zp=("$R_WALL" "$R_CPU" "$R_RSS")
zip_size=$(size_of a.zip)
check_limit "${tv[2]}"
printf '%-15s %8.2f %8s %8.2f %9s %11s  %s\n' "tarvik pack" "${tv[0]}" "$(mbps "$bytes" "${tv[0]}")" \
  "${tv[1]}" "$(fmt %.1f "${tv[2]} / 1024")" "$(mib "$tv_size")" "$(verdict "${tv[2]}")"
printf '%-15s %8.2f %8s %8.2f %9s %11s\n' "zip -6" "${zp[0]}" "$(mbps "$bytes" "${zp[0]}")" \
  "${zp[1]}" "$(fmt %.1f "${zp[2]} / 1024")" "$(mib "$zip_size")"
printf '%-15s %8s %8s %8s %9s %11s\n' "tarvik/zip" "$(ratio "${tv[0]}" "${zp[0]}")" \
  "$(ratio "${zp[0]}" "${tv[0]}")" "$(ratio "${tv[1]}" "${zp[1]}")" \
  "$(ratio "${tv[2]}" "${zp[2]}")" "$(ratio "$tv_size" "$zip_size")"
summary=("pack ($n MiB):   tarvik peak $(fmt %.1f "${tv[2]} / 1024") MiB, $(verdict "${tv[2]}"); x$(ratio "${tv[2]}" "${zp[2]}") zip's $(fmt %.1f "${zp[2]} / 1024") MiB; time x$(ratio "${tv[0]}" "${zp[0]}") ($(fmt %.2f "${tv[0]}") s vs $(fmt %.2f "${zp[0]}") s)")

# Unpack, when the room left allows: the input goes first, the result is compared with the
# bytes it should hold and removed before the peer's turn.
rm -f big.bin
if [ "$(free_kib "$dir")" -lt $(((n + 256) * 1024)) ]; then
  hr
  say "unpack SKIPPED: $where lacks room for the $n MiB result"
else
  run_once "$TV" unpack -j 32 a.kzv -C out
  tu=("$R_WALL" "$R_CPU" "$R_RSS")
  check_limit "${tu[2]}"
  tv_ok=1
  same_bytes out/big.bin || tv_ok=0
  rm -rf out
  run_once unzip -q a.zip -d out
  uz=("$R_WALL" "$R_CPU" "$R_RSS")
  zip_ok=1
  same_bytes out/big.bin || zip_ok=0
  rm -rf out
  printf '%-15s %8.2f %8s %8.2f %9s %11s  %s\n' "tarvik unpack" "${tu[0]}" \
    "$(mbps "$bytes" "${tu[0]}")" "${tu[1]}" "$(fmt %.1f "${tu[2]} / 1024")" "" \
    "$(verdict "${tu[2]}")"
  printf '%-15s %8.2f %8s %8.2f %9s\n' "unzip" "${uz[0]}" "$(mbps "$bytes" "${uz[0]}")" \
    "${uz[1]}" "$(fmt %.1f "${uz[2]} / 1024")"
  printf '%-15s %8s %8s %8s %9s\n' "tarvik/unzip" "$(ratio "${tu[0]}" "${uz[0]}")" \
    "$(ratio "${uz[0]}" "${tu[0]}")" "$(ratio "${tu[1]}" "${uz[1]}")" \
    "$(ratio "${tu[2]}" "${uz[2]}")"
  summary+=("unpack ($n MiB): tarvik peak $(fmt %.1f "${tu[2]} / 1024") MiB, $(verdict "${tu[2]}"); x$(ratio "${tu[2]}" "${uz[2]}") unzip's $(fmt %.1f "${uz[2]} / 1024") MiB; time x$(ratio "${tu[0]}" "${uz[0]}") ($(fmt %.2f "${tu[0]}") s vs $(fmt %.2f "${uz[0]}") s)")
  if [ $tv_ok = 0 ]; then
    summary+=("tarvik unpack: the result DIFFERS from the packed file")
    status=1
  fi
  [ $zip_ok = 1 ] || summary+=("unzip: the result differs from the packed file")
fi
hr
cd - >/dev/null || exit 1
rm -rf "$dir"
echo
say "Summary:"
for line in "${summary[@]}"; do note "$line"; done
say "pack_memory.sh measured in $(fmt %.0f "$EPOCHREALTIME - $start") s"
exit $status
