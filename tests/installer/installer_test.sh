#!/usr/bin/env bash
# The Windows installer, built from installer/tarvik.nsi with this build's programs and run
# silently under Wine: the files in Program Files\Tarvik, the fourteen registry rows for that
# folder, the console program starts; then the uninstaller, silently: the files and rows gone,
# a user's archive in the same folder kept.
#
#   tests/installer/installer_test.sh BUILD_DIR
#
# BUILD_DIR is a win64 build folder (the installer is made as a 64-bit program, as this machine
# may run no 32-bit ones; the 32-bit installer we ship runs the same script). Tarvik.exe is the
# windowed program when the build has it, else the console program stands in for it. Runs in
# the prefix that cmake/wine-run picks ($TARVIK_WINEPREFIX under ctest). Exit 77: no makensis.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
run=$repo/cmake/wine-run
export TARVIK_WINEARCH=win64
command -v makensis >/dev/null || {
  echo "makensis is not installed (scripts/setup installs nsis)"
  exit 77
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
mkdir -p "$stage"
console=$build/tarvikc.exe
[ -f "$console" ] || console=$build/tarvik.exe
windowed=$build/Tarvik.exe
[ -f "$windowed" ] || windowed=$console
cp "$windowed" "$stage/Tarvik.exe"
cp "$console" "$stage/tarvikc.exe"
cp "$build/Tarvik.sfx" "$build/KZVContextMenu.dll" "$stage/"

makensis -V2 -INPUTCHARSET UTF8 -DTARGET=amd64-unicode -DVERSION=0.0 "-DWIN32_DIR=$stage" \
  "-DWIN64_DIR=$stage" "-DOUT_DIR=$work" "-DREADME=$repo/installer/readme.txt" \
  "$repo/installer/tarvik.nsi" >/dev/null
setup=$work/Tarvik-0.0-setup.exe

prefix=$("$run" --prefix)
folder="$prefix/drive_c/Program Files/Tarvik"
installed=(Tarvik.exe Tarvik.sfx KZVContextMenu.dll tarvikc.exe Readme.txt Uninstall.exe)
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# query KEY [VALUE]: the data of a string value ("" for the default one) as reg prints it.
query() {
  local out
  if [ -n "${2:-}" ]; then
    out=$("$run" reg query "$1" /v "$2" 2>/dev/null) || return 1
  else
    out=$("$run" reg query "$1" /ve 2>/dev/null) || return 1
  fi
  LC_ALL=C sed -n 's/\r$//; s/^ \{4\}.* \{4\}REG_SZ \{4\}//p' <<<"$out" | head -n 1
}

id='{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}'
p='C:\Program Files\Tarvik'
# key|value|data, the rows after the installation (row 2's data is Cyrillic, checked apart).
rows=(
  "HKCR\\.kzv||Tarvik"
  "HKCR\\Tarvik\\DefaultIcon||$p\\Tarvik.exe,0"
  "HKCR\\Tarvik\\Shell\\open\\command||\"$p\\Tarvik.exe\"  \"%1\""
  "HKCR\\Tarvik\\Shell\\edit\\command||\"$p\\Tarvik.exe\"  \"%1\""
  "HKLM\\software\\KZV|Application|$p\\Tarvik.exe"
  "HKCR\\CLSID\\$id\\InprocServer32||$p\\KZVContextMenu.dll"
  "HKCR\\CLSID\\$id\\InprocServer32|ThreadingModel|Apartment"
  "HKLM\\SOFTWARE\\Classes\\CLSID\\$id\\InprocServer32||$p\\KZVContextMenu.dll"
  "HKLM\\SOFTWARE\\Classes\\CLSID\\$id\\InprocServer32|ThreadingModel|Apartment"
  "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved|$id|TARVIK Context Menu Shell Extension"
  "HKCR\\*\\shellex\\ContextMenuHandlers\\Tarvik||$id"
  "HKCR\\Folder\\shellex\\ContextMenuHandlers\\Tarvik||$id"
  "HKCR\\Directory\\shellex\\ContextMenuHandlers\\Tarvik||$id"
)

rm -rf "$folder"
"$run" "$setup" /S || fail "the installer ended with status $?"
for file in "${installed[@]}"; do
  [ -f "$folder/$file" ] || fail "$file is not installed"
done
cmp -s "$stage/Tarvik.exe" "$folder/Tarvik.exe" || fail "Tarvik.exe differs from the build's"
echo "Registry after the installation:"
for row in "${rows[@]}"; do
  IFS='|' read -r key value data <<<"$row"
  got=$(query "$key" "$value") || got="<missing>"
  echo "  $key [${value}] = \"$got\""
  [ "$got" = "$data" ] || fail "$key [$value] is \"$got\", not \"$data\""
done
type=$(query 'HKCR\Tarvik' | iconv -f CP866 -t UTF-8) || type="<missing>"
echo "  HKCR\\Tarvik [] = \"$type\""
[ "$type" = "Архив Tarvik" ] || fail "HKCR\\Tarvik is \"$type\", not \"Архив Tarvik\""
query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik' UninstallString \
  >/dev/null || fail "no entry among the installed programs"
"$run" "$folder/tarvikc.exe" --help >/dev/null || fail "the installed console program does not start"

# A user's archive in the program's folder, then the uninstaller (it runs on from a copy of
# itself: wait until it has removed itself).
printf 'user data' >"$folder/мой архив.kzv"
"$run" "$folder/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 1 300); do
  [ -e "$folder/Uninstall.exe" ] || break
  sleep 0.2
done
for file in "${installed[@]}"; do
  [ ! -e "$folder/$file" ] || fail "$file is still there after the uninstallation"
done
[ "$(cat "$folder/мой архив.kzv" 2>/dev/null)" = "user data" ] || fail "the user's archive is gone"
for row in "${rows[@]}" 'HKCR\Tarvik||'; do
  IFS='|' read -r key value data <<<"$row"
  if got=$(query "$key" "$value"); then fail "$key [$value] is still there: \"$got\""; fi
done
for key in 'HKCR\.kzv' 'HKCR\Tarvik' 'HKLM\software\KZV' "HKCR\\CLSID\\$id" \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik'; do
  if "$run" reg query "$key" >/dev/null 2>&1; then fail "the key $key is still there"; fi
done
rm -rf "$folder"

if [ $failures -gt 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "installer: installed, registered, started, uninstalled; the user's archive kept"
