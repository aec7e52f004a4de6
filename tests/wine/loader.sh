#!/usr/bin/env bash
# The Windows builds of the tool, run under Wine, must refuse a link library they cannot use
# with one line that names the file (and the missing operation with its number), then end with
# status 1. Two runs per build, each with a copy of vn818fw.exe in a folder of its own:
#   absent   no VN818upgrade.dll anywhere the DLL search looks
#   broken   a VN818upgrade.dll without operation 53 (LinkSendBlock), built by the Windows build
#            into <build>/fixtures/broken-link/
#
# Usage: loader.sh --wine-run SCRIPT --windows EXE [--windows EXE ...] --work DIR
# Exit status: 0 as expected, 1 not, 77 skipped (Wine or a Windows build missing).
set -uo pipefail

wine_run=""
windows=()
work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --wine-run) wine_run=$2 ;;
    --windows) windows+=("$2") ;;
    --work) work=$2 ;;
    *) echo "loader.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift 2
done
if [ -z "$wine_run" ] || [ "${#windows[@]}" = 0 ] || [ -z "$work" ]; then
  echo "loader.sh: --wine-run, --windows and --work are all needed" >&2
  exit 2
fi
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-require.sh"
vn_require_wine
vn_require_windows_build "${windows[@]}"
while IFS= read -r name; do unset "$name"; done < <(compgen -e | grep '^VN818SIM_')

ok=1
# expect <label> <folder> <first words of the last line>
expect() {
  local label=$1 dir=$2 start=$3
  printf '[TIME]\nDISP_WAIT_TIME=10\n' >"$dir/upgrade.ini"
  # The Wine prefix of the build the program came from, not one in the work folder.
  (cd "$dir" && VN_WINEPREFIX="$prefix" "$wine_run" "$dir/vn818fw.exe" upgrade.ini \
    >"$dir/out" 2>"$dir/err" </dev/null)
  local status=$?
  local last
  last=$(perl -pe 's/\r\n/\n/g' "$dir/out" | tail -n 1)
  echo "$label: exit status $status, last line: $last"
  case "$last" in
    "$start"?*) ;;
    *)
      echo "WRONG: $label should end with a line starting \"$start\" and giving a reason"
      ok=0
      ;;
  esac
  if [ "$status" != 1 ]; then
    echo "WRONG: $label should exit with status 1"
    ok=0
  fi
}

for exe in "${windows[@]}"; do
  build=$(dirname "$(dirname "$exe")")
  name=$(basename "$build")
  prefix="$build/wineprefix"
  rm -rf "${work:?}/$name"
  mkdir -p "$work/$name/absent" "$work/$name/broken"
  cp "$exe" "$work/$name/absent/"
  cp "$exe" "$build/fixtures/broken-link/VN818upgrade.dll" "$work/$name/broken/"
  expect "$name absent" "$work/$name/absent" \
    "Cannot load the printer link library VN818upgrade.dll: "
  expect "$name broken" "$work/$name/broken" \
    "The printer link library VN818upgrade.dll has no operation LinkSendBlock (ordinal 53): "
done
[ "$ok" = 1 ] && exit 0
exit 1
