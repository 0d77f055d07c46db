#!/usr/bin/env bash
# The build scripts' own decisions: which Windows editions' tests run (each branch forced
# through TARVIK_WIN32_RUNS / TARVIK_WIN64_RUNS), and cmake/wine-run leaving alone a folder it
# did not make.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
failures=0
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

# editions W32 W64 EXPECTED_FIRST_LINE EXPECTED_STATUS
editions() {
  local output status
  output=$(TARVIK_WIN32_RUNS=$1 TARVIK_WIN64_RUNS=$2 bash "$repo/scripts/windows-editions")
  status=$?
  [ "$(head -n 1 <<<"$output")" = "$3" ] && [ "$status" = "$4" ] &&
    [ "$(wc -l <<<"$output")" = 2 ] && [ -n "$(sed -n 2p <<<"$output")" ]
}
check "both editions run: both tested" editions yes yes "win32 win64" 0
check "32-bit only: win32 tested" editions yes no "win32" 0
check "no 32-bit programs: win64 tested" editions no yes "win64" 0
check "no Windows program runs: a failure" editions no no "" 1
check "the reason names the missing edition" \
  bash -c "TARVIK_WIN32_RUNS=no TARVIK_WIN64_RUNS=yes bash '$repo/scripts/windows-editions' |
    sed -n 2p | grep -q 'cannot run 32-bit'"

# A fresh clone runs every script: none calls a tool by an absolute path outside the
# repository and the system's own folders.
check "the scripts call nothing outside the repository" \
  bash -c "! grep -nE '(^|[^A-Za-z0-9_.$])/(work|home|opt|srv|root|mnt)/' '$repo'/scripts/* '$repo'/cmake/wine-run '$repo'/cmake/wine-drive"

# A prefix folder that holds something not made by wine-run is neither removed nor changed.
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-scripts.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/prefix"
echo "someone's data" >"$work/prefix/keep.txt"
for edition in win32 win64; do
  TARVIK_WINEPREFIX="$work/prefix" TARVIK_WINEARCH=$edition "$repo/cmake/wine-run" --init \
    >/dev/null 2>&1
  status=$?
  check "wine-run refuses a foreign folder as a $edition prefix" test "$status" != 0
  check "the foreign folder is left as it was ($edition)" \
    test "$(ls -A "$work/prefix")" = keep.txt
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all script checks passed"
