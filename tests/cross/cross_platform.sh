#!/usr/bin/env bash
# Archives cross platforms: the Windows program under Wine (ANSI code page 1251; whichever
# edition was built, win32 or win64) and the Linux
# program write the same records from the same files; each unpacks what the other packed
# (encrypted archives too); a
# Windows drive root (a Wine drive letter mapped to a folder) packs and unpacks.
#
#   tests/cross/cross_platform.sh LINUX_TARVIK WINDOWS_TARVIK_EXE
#
# A failed tree comparison prints the difference.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ ! -x "$1" ] || [ ! -f "$2" ]; then
  echo "skipped: $1 or $2 is not built"
  exit 77
fi
lin=$(realpath "$1")
win=$(realpath "$2")
wine_run="$here/../../cmake/wine-run"
wine_drive="$here/../../cmake/wine-drive"
export LANG=ru_RU.UTF-8

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-cross.XXXXXX")
drive=t
cleanup() {
  "$wine_drive" "$drive" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
same_tree() {  # same_tree FOLDER: its tree is the source's
  local got
  got=$(tree_of "$1")
  [ "$got" = "$expected" ] && return
  diff <(echo "$expected") <(echo "$got") | head -n 20 >&2
  return 1
}
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

# Each folder holds one entry, so that both systems list it in the same order.
src="$work/Исходная"
mkdir -p "$src/папка/вложенная" "$src/пустая"
printf 'Отчёт за год\n' > "$src/отчёт.txt"
head -c 300000 /dev/urandom > "$src/данные.bin"
: > "$src/папка/вложенная/пусто.txt"
seq 1 20000 > "$src/числа.txt"
touch -d '2025-03-04 05:06:07' "$src/отчёт.txt"
items=(отчёт.txt данные.bin папка числа.txt пустая)

# The tree of a folder: every entry, the size and minute of modification of each file (a
# folder's own time is that of its extraction), and a checksum.
tree_of() {
  (cd "$1" && find . -mindepth 1 -not -name '*.kzv' \( -type d -printf 'd %p\n' -o \
    -printf '%y %p %s %TY-%Tm-%Td %TH:%TM\n' \) | sort &&
    find . -type f -not -name '*.kzv' -exec sha1sum {} + | sort)
}

"$wine_run" "$win" --help >/dev/null  # the prefix exists before a drive is mapped in it
(cd "$src" && "$lin" pack -n lin "${items[@]}" >/dev/null)
(cd "$src" && "$wine_run" "$win" pack -n win "${items[@]}" >/dev/null)
(cd "$src" && "$lin" pack -n lin-multi -v 7 -p Пароль "${items[@]}" >/dev/null)
(cd "$src" && "$wine_run" "$win" pack -n win-multi -v 7 -p Пароль "${items[@]}" >/dev/null)
# Encrypted, with a password longer than the plain kind's 12 characters.
secret='Пароль шифрования длиной больше двенадцати'
(cd "$src" && "$lin" pack -n lin-enc -e -p "$secret" -v 50 "${items[@]}" >/dev/null)
(cd "$src" && "$wine_run" "$win" pack -n win-enc -e -p "$secret" "${items[@]}" >/dev/null)

same_records() {  # everything before volume 001's tail (random password characters, checksum)
  cmp -s <(head -c -45 "$1") <(head -c -45 "$2")
}
check "records of lin.kzv and win.kzv are byte-identical" same_records "$src/lin.kzv" "$src/win.kzv"
check "volume 002 identical" cmp -s "$src/lin-multi.002.kzv" "$src/win-multi.002.kzv"

expected=$(tree_of "$src")
"$lin" unpack "$src/win.kzv" -C "$work/lin-from-win" >/dev/null
check "Linux unpacks the Windows archive" same_tree "$work/lin-from-win"
"$wine_run" "$win" unpack "$src/lin.kzv" -C "$work/win-from-lin" >/dev/null
check "Windows unpacks the Linux archive" same_tree "$work/win-from-lin"
"$lin" unpack "$src/win-multi.001.kzv" -C "$work/lin-from-win-multi" -p Пароль >/dev/null
check "Linux unpacks the Windows multi-volume archive" same_tree "$work/lin-from-win-multi"
"$wine_run" "$win" unpack "$src/lin-multi.001.kzv" -C "$work/win-from-lin-multi" -p Пароль >/dev/null
check "Windows unpacks the Linux multi-volume archive" same_tree "$work/win-from-lin-multi"
"$lin" unpack "$src/win-enc.kzv" -C "$work/lin-from-win-enc" -p "$secret" >/dev/null
check "Linux unpacks the Windows encrypted archive" same_tree "$work/lin-from-win-enc"
"$wine_run" "$win" unpack "$src/lin-enc.001.kzv" -C "$work/win-from-lin-enc" -p "$secret" >/dev/null
check "Windows unpacks the Linux encrypted multi-volume archive" same_tree "$work/win-from-lin-enc"
refuses_wrong_password() {
  ! "$wine_run" "$win" unpack "$src/lin-enc.001.kzv" -C "$work/wrong" -p "$secret." >/dev/null 2>&1 &&
    [ ! -e "$work/wrong" ]
}
check "Windows refuses a wrong password of the Linux encrypted archive" refuses_wrong_password

# A failed run of the Windows program gives everything back, as the Linux one's does: a
# later volume missing, and (as root, on a small file system of its own) a full disk. The
# target holds the user's older files, which the archive's would replace.
user_tree() {  # user_tree FOLDER: the target's files as the user left them
  mkdir -p "$1/папка/вложенная"
  printf 'моя версия\n' > "$1/отчёт.txt"
  printf 'мои числа\n' > "$1/числа.txt"
}
unchanged() {  # unchanged FOLDER SNAPSHOT: the folder is as the snapshot says
  local now
  now=$(cd "$1" && find . -printf '%y %p %s\n' | sort && find . -type f -exec sha1sum {} + | sort)
  [ "$now" = "$2" ] && return
  diff <(echo "$2") <(echo "$now") | head -n 10 >&2
  return 1
}
snapshot_of() { (cd "$1" && find . -printf '%y %p %s\n' | sort && find . -type f -exec sha1sum {} + | sort); }
mkdir -p "$work/missing"
cp "$src"/win-multi.0*.kzv "$work/missing/"
rm "$work/missing/win-multi.003.kzv"
user_tree "$work/missing-target"
before=$(snapshot_of "$work/missing-target")
fails_and_gives_back() {  # fails_and_gives_back TARGET SNAPSHOT ARCHIVE [ARGS...]
  local target=$1 snap=$2; shift 2
  ! "$wine_run" "$win" unpack "$@" -C "$target" >/dev/null 2>&1 && unchanged "$target" "$snap"
}
check "Windows: a missing later volume leaves the target as it was" \
  fails_and_gives_back "$work/missing-target" "$before" "$work/missing/win-multi.001.kzv" -p Пароль
small="$work/small"
mkdir -p "$small"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=400k tmpfs "$small" 2>/dev/null; then
  user_tree "$small/target"
  before=$(snapshot_of "$small/target")
  check "Windows: a full disk mid-unpack leaves the target as it was" \
    fails_and_gives_back "$small/target" "$before" "$src/win.kzv"
  umount -l "$small"
else
  echo "skip Windows: a full disk mid-unpack (needs root to mount a small file system)"
fi

# A drive root: T:\ is a folder of its own; the header's source folder is "T:\" and the paths
# are "T:\a.txt", without a doubled separator.
root="$work/root"
mkdir -p "$root/sub"
printf 'корень\n' > "$root/a.txt"
printf 'ниже\n' > "$root/sub/b.txt"
"$wine_drive" "$drive" "$root" >/dev/null
"$wine_run" "$win" pack -n r 'T:\a.txt' 'T:\sub' >/dev/null
has_root_paths() {
  local bytes
  bytes=$(LC_ALL=C tr '\0' ' ' < "$root/r.kzv")
  [[ $bytes == *'001'*' T:\F'*'T:\a.txt'* ]] && [[ $bytes == *'T:\sub\b.txt'* ]] &&
    [[ $bytes != *'T:\\'* ]]
}
check "drive root: source folder T:\\ and paths without a doubled separator" has_root_paths
"$wine_run" "$win" unpack 'T:\r.kzv' -C "$(printf 'Z:%s' "$work/from-root" | tr / '\\')" >/dev/null
check "drive root archive unpacks under Windows" cmp -s "$work/from-root/sub/b.txt" "$root/sub/b.txt"
"$lin" unpack "$root/r.kzv" -C "$work/lin-from-root" >/dev/null
check "drive root archive unpacks on Linux" cmp -s "$work/lin-from-root/a.txt" "$root/a.txt"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all cross-platform checks passed"
