#!/usr/bin/env bash
# Runs one case with the native tool and with each Windows build of the tool under Wine, and
# requires the same console output and the same exit status from all of them. The Windows
# programs write standard output in text mode, so their "\r\n" is turned back into "\n" before
# the comparison; nothing else is changed ("\r" alone and the bytes 0x81 0x46 stay as they are).
#
# Usage: compare.sh --native EXE --wine-run SCRIPT --windows EXE [--windows EXE ...]
#                   --case DIR --work DIR
# A case folder holds what the tool is run on, copied into a fresh work folder first:
#   upgrade.ini  the settings file
#   args         (optional) the command line after the program name; default "upgrade.ini"
#   bench.txt    (optional) the simulated printers, handed to the link library as VN818SIM_BENCH
#   env          (optional) more NAME=VALUE lines for the environment of every run
#   anything else (image files, folders) is simply there in the work folder
# Exit status: 0 alike, 1 different, 77 skipped (Wine or a Windows build missing).
set -uo pipefail

native=""
wine_run=""
windows=()
case_dir=""
work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --native) native=$2 ;;
    --wine-run) wine_run=$2 ;;
    --windows) windows+=("$2") ;;
    --case) case_dir=$2 ;;
    --work) work=$2 ;;
    *) echo "compare.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift 2
done
if [ -z "$native" ] || [ -z "$wine_run" ] || [ "${#windows[@]}" = 0 ] || [ -z "$case_dir" ] ||
  [ -z "$work" ]; then
  echo "compare.sh: --native, --wine-run, --windows, --case and --work are all needed" >&2
  exit 2
fi

. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-require.sh"
vn_require_wine
vn_require_windows_build "${windows[@]}"

# The tool reads no environment; the simulated link library does. Nothing from the caller's
# environment may change the printers of a case.
while IFS= read -r name; do unset "$name"; done < <(compgen -e | grep '^VN818SIM_')

args=(upgrade.ini)
if [ -f "$case_dir/args" ]; then read -r -a args <"$case_dir/args" || true; fi

# run <label> <program...>: runs the tool in a fresh copy of the case; leaves
# $work/<label>.out (standard output), .err and .status.
run() {
  local label=$1
  shift
  local dir="$work/$label.run"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -R "$case_dir/." "$dir/"
  (
    cd "$dir" || exit 125
    [ -f bench.txt ] && export VN818SIM_BENCH=bench.txt
    if [ -f env ]; then
      while IFS= read -r line; do
        [ -n "$line" ] && [ "${line#\#}" = "$line" ] && export "${line?}"  # NAME=VALUE
      done <"./env"
    fi
    "$@" "${args[@]}" >"$work/$label.out" 2>"$work/$label.err" </dev/null
  )
  echo $? >"$work/$label.status"
}

mkdir -p "$work"
run native "$native"
echo "native: exit status $(cat "$work/native.status")"

same=1
for exe in "${windows[@]}"; do
  label=$(basename "$(dirname "$(dirname "$exe")")")  # the build folder's name
  run "$label" "$wine_run" "$exe"
  perl -pe 's/\r\n/\n/g' "$work/$label.out" >"$work/$label.out.unix"
  status=$(cat "$work/$label.status")
  echo "$label: exit status $status"
  if ! cmp -s "$work/native.out" "$work/$label.out.unix"; then
    same=0
    echo "DIFFERENT: standard output of $label differs from the native build's" \
      "(- native, + $label; ^M is a carriage return, \$ ends a line):"
    diff -u --label native --label "$label" <(cat -A "$work/native.out") \
      <(cat -A "$work/$label.out.unix") | head -60
    if [ -s "$work/$label.err" ]; then
      echo "standard error of $label:"
      head -20 "$work/$label.err"
    fi
  fi
  if [ "$status" != "$(cat "$work/native.status")" ]; then
    same=0
    echo "DIFFERENT: $label exits with $status, the native build with" \
      "$(cat "$work/native.status")"
  fi
done
if [ "$same" = 1 ]; then
  echo "alike: $(wc -c <"$work/native.out") bytes of output"
  exit 0
fi
exit 1
