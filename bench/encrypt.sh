#!/usr/bin/env bash
# Encryption: `tarvik pack -e -p P` and `tarvik unpack -p P` of an encrypted archive against the
# same commands without encryption, on the inputs of pack.sh (the /usr/include copy and the
# large mixed file), the two taking turns. Encryption adds AES-256-GCM over every compressed
# stream, and once per command the key derivation (PBKDF2-HMAC-SHA256, 600,000 rounds); that is
# measured apart, as the difference between packing (and unpacking) a 1-byte file with and
# without encryption, and the ratios are given both whole and with it taken away. zip -6 and
# unzip of the same input are shown beside for scale. The results are compared with the
# originals (untimed). Everything on a tmpfs.
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

work=$BENCH_TMP/encrypt
mkdir -p "$work/folder" "$work/file" "$work/tiny"
password='Пароль шифрования для замеров'

say "Inputs (made once, kept in $BENCH_CACHE):"
inc=$(include_copy)
link_tree "$inc" "$work/folder/inc"
big=$(big_file)
ln "$big" "$work/file/big.bin" 2>/dev/null || cp "$big" "$work/file/big.bin"
printf x >"$work/tiny/x"
inc_bytes=$(tree_bytes "$work/folder/inc")
big_bytes=$(size_of "$work/file/big.bin")
note "folder: $(mib "$inc_bytes") MiB in $(tree_files "$work/folder/inc") files"
note "file:   $(mib "$big_bytes") MiB, mixed (1/4 pseudo-random, 3/4 text)"
explain_runs "encrypted" "plain"
note "threads: tarvik -j $THREADS; $(nproc) cores, load $(loadavg)"
echo

pack_cmd() { printf '%q ' "$TV" pack -j "$THREADS" "$@"; }
unpack_cmd() { printf '%q ' "$TV" unpack -j "$THREADS" "$@"; }

# The key derivation of one command: a 1-byte file packed and unpacked, with and without it.
cd "$work/tiny"
compare "rm -f e.kzv" "$(pack_cmd -e -p "$password" -n e x)" "rm -f p.kzv" "$(pack_cmd -n p x)"
kdf_pack=$(calc "$A_WALL - $B_WALL")
compare "rm -rf oe" "$(unpack_cmd e.kzv -C oe -p "$password")" "rm -rf op" "$(unpack_cmd p.kzv -C op)"
kdf_unpack=$(calc "$A_WALL - $B_WALL")
note "key derivation: $(fmt %.3f "$kdf_pack") s when packing, $(fmt %.3f "$kdf_unpack") s when unpacking"
echo

summary=()
status=0
# encrypt_case LABEL DIR ITEM BYTES
encrypt_case() {
  local label=$1 dir=$2 item=$3 bytes=$4
  cd "$dir" || exit 1
  compare "rm -f e.kzv" "$(pack_cmd -e -p "$password" -n e "$item")" \
    "rm -f p.kzv" "$(pack_cmd -n p "$item")"
  table_row "$label" "pack -e" "$bytes" "$A_WALL" "$A_CPU" "$A_RSS" "$(size_of e.kzv)"
  table_row "" "pack" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS" "$(size_of p.kzv)"
  table_ratio "encrypted/plain" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS" \
    "$(size_of e.kzv)" "$(size_of p.kzv)"
  table_load
  summary+=("$(printf '%-17s pack   x%s (%.2f s vs %.2f s), without the key derivation x%s' \
    "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" \
    "$(ratio "$(calc "$A_WALL - $kdf_pack")" "$B_WALL")")")
  run_once zip -6 -r -q z.zip "$item"
  table_row "" "zip -6" "$bytes" "$R_WALL" "$R_CPU" "$R_RSS" "$(size_of z.zip)"

  compare "rm -rf oe" "$(unpack_cmd e.kzv -C oe -p "$password")" "rm -rf op" "$(unpack_cmd p.kzv -C op)"
  table_row "" "unpack -e" "$bytes" "$A_WALL" "$A_CPU" "$A_RSS"
  table_row "" "unpack" "$bytes" "$B_WALL" "$B_CPU" "$B_RSS"
  table_ratio "encrypted/plain" "$A_WALL" "$B_WALL" "$A_CPU" "$B_CPU" "$A_RSS" "$B_RSS"
  table_load
  summary+=("$(printf '%-17s unpack x%s (%.2f s vs %.2f s), without the key derivation x%s' \
    "$label:" "$(ratio "$A_WALL" "$B_WALL")" "$A_WALL" "$B_WALL" \
    "$(ratio "$(calc "$A_WALL - $kdf_unpack")" "$B_WALL")")")
  rm -rf oz
  run_once unzip -q z.zip -d oz
  table_row "" "unzip" "$bytes" "$R_WALL" "$R_CPU" "$R_RSS"
  local out
  for out in oe op oz; do
    if ! diff -r -q "$item" "$out/$item" >/dev/null; then
      summary+=("$label: the result in $out differs from the original")
      status=1
    fi
  done
  rm -rf oe op oz e.kzv p.kzv z.zip
  cd - >/dev/null || exit 1
}

start=$EPOCHREALTIME
table_head
hr
encrypt_case "folder (include)" "$work/folder" inc "$inc_bytes"
encrypt_case "file (mixed)" "$work/file" big.bin "$big_bytes"
hr
echo
say "Summary, encrypted/plain:"
for line in "${summary[@]}"; do note "$line"; done
say "encrypt.sh measured in $(fmt %.0f "$EPOCHREALTIME - $start") s"
exit $status
