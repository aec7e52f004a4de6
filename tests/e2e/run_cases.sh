#!/usr/bin/env bash
# Runs end-to-end cases: the built tool against the printer simulator, one folder per case.
#
#   run_cases.sh --tool <vn818fw> --img <vn818img> --work <scratch folder> [--wine <wine-run>]
#                <case folder>...
#
# A case folder holds:
#   upgrade.ini      the settings file; the tool is started as "vn818fw upgrade.ini" in a scratch
#                    folder that holds it, the bench and the images
#   images           optional: one image file a line, the arguments of vn818img
#                    (kind version size file); lines starting with # are ignored
#   bench            the simulated printers (VN818SIM_BENCH)
#   expected.out     the console output, byte for byte
#   expected.status  the exit status
#   expected.calls   the link calls in the simulator's journal, each cut before its " -> "; a run
#                    of equal lines is written once, followed by " *N"; # lines are ignored
#   expected.images  optional: "<received file> <image file>" a line: what the simulated printer
#                    kept (in file order) must equal the image file byte for byte
#
# With --wine the tool is a Windows build run through the given wrapper; its output is compared
# after "\r\n" is turned into "\n" (the Windows console stream's text mode), and nothing else.
# Exit status: 0 every case passed, 1 a case failed, 77 the tool or Wine is missing.
set -u

tool=
img=
work=
wine=
while [ $# -gt 0 ]; do
  case "$1" in
    --tool) tool=$2; shift 2 ;;
    --img) img=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --wine) wine=$2; shift 2 ;;
    -*) echo "run_cases: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ -z "$tool" ] || [ -z "$img" ] || [ -z "$work" ] || [ $# -eq 0 ]; then
  sed -n '4,5p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
if [ -n "$wine" ]; then
  . "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-require.sh"
  vn_require_wine
  vn_require_windows_build "$tool"
elif [ ! -f "$tool" ]; then
  echo "SKIPPED: no tool at $tool; build it first (./scripts/check builds every preset)"
  exit 77
fi
tool=$(realpath "$tool")
img=$(realpath "$img")
[ -n "$wine" ] && wine=$(realpath "$wine")
mkdir -p "$work"
work=$(realpath "$work")

# The journal's call lines, cut before the reply, with runs of equal lines folded.
calls_of() {
  sed 's/\r$//' "$1" | grep -E '^(Link|VIOLATION)' | sed 's/ -> .*//' | uniq -c |
    sed -E 's/^ *1 //; s/^ *([0-9]+) (.*)$/\2 *\1/'
}

# Shows the bytes that differ in a readable form: ^M for "\r", M-^A and M-F for 0x81 0x46.
show_diff() {
  diff -u --label expected --label actual <(cat -A "$1") <(cat -A "$2") | head -n 80
}

failed=0
for case_dir in "$@"; do
  case_dir=$(realpath "$case_dir")
  name=$(basename "$case_dir")
  dir="$work/$name"
  rm -rf "$dir"
  mkdir -p "$dir/received"
  cp "$case_dir/upgrade.ini" "$case_dir/bench" "$dir/"
  problems=()

  if [ -f "$case_dir/images" ]; then
    while read -r kind version size file; do
      case "$kind" in '' | '#'*) continue ;; esac
      if ! (cd "$dir" && "$img" "$kind" "$version" "$size" "$file"); then
        problems+=("vn818img $kind $version $size $file failed")
      fi
    done <"$case_dir/images"
  fi

  status=0
  (
    cd "$dir" || exit 99
    export VN818SIM_BENCH=bench VN818SIM_JOURNAL=journal VN818SIM_IMAGES=received
    unset VN818SIM_STATE VN818SIM_FAULTS
    if [ -n "$wine" ]; then
      "$wine" "$tool" upgrade.ini >stdout 2>stderr
    else
      "$tool" upgrade.ini >stdout 2>stderr
    fi
  ) || status=$?

  if [ -n "$wine" ]; then
    sed 's/\r$//' "$dir/stdout" >"$dir/stdout.compared"
  else
    cp "$dir/stdout" "$dir/stdout.compared"
  fi
  if ! cmp -s "$case_dir/expected.out" "$dir/stdout.compared"; then
    problems+=("console output differs:"$'\n'"$(show_diff "$case_dir/expected.out" "$dir/stdout.compared")")
  fi

  expected_status=$(tr -d ' \r\n' <"$case_dir/expected.status")
  if [ "$status" != "$expected_status" ]; then
    problems+=("exit status $status, expected $expected_status")
  fi

  touch "$dir/journal"
  calls_of "$dir/journal" >"$dir/calls"
  grep -vE '^[[:space:]]*(#|$)' "$case_dir/expected.calls" >"$dir/calls.expected"
  if ! cmp -s "$dir/calls.expected" "$dir/calls"; then
    problems+=("link calls differ:"$'\n'"$(diff -u --label expected --label actual \
      "$dir/calls.expected" "$dir/calls" | head -n 60)")
  fi

  if [ -f "$case_dir/expected.images" ]; then
    while read -r received file; do
      case "$received" in '' | '#'*) continue ;; esac
      if [ ! -f "$dir/received/$received" ]; then
        problems+=("the printer kept no $received")
      elif ! cmp -s "$dir/received/$received" "$dir/$file"; then
        problems+=("$received is not $file byte for byte")
      fi
    done <"$case_dir/expected.images"
  fi

  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok    $name"
  else
    failed=1
    echo "FAIL  $name (files in $dir)"
    for p in "${problems[@]}"; do echo "$p" | sed 's/^/      /'; done
    if [ -s "$dir/stderr" ]; then
      echo "      standard error:"
      grep -v -i 'fixme\|wine' "$dir/stderr" | head -n 10 | sed 's/^/        /'
    fi
  fi
done
exit $failed
