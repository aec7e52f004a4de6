#!/usr/bin/env bash
# A Windows program or library of ours must need no MinGW runtime DLL (libstdc++, libgcc,
# winpthread): a technician gets the executable and the maker's DLL, nothing else.
# Usage: check_imports.sh OBJDUMP FILE...
set -uo pipefail
objdump=$1
shift
ok=1
for file in "$@"; do
  imports=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "$(basename "$file"): $(echo "$imports" | tr '\n' ' ')"
  runtime=$(grep -iE '^lib|gcc|stdc\+\+|pthread' <<<"$imports")
  if [ -n "$runtime" ]; then
    echo "WRONG: $(basename "$file") needs $(echo "$runtime" | tr '\n' ' ')"
    ok=0
  fi
done
[ "$ok" = 1 ]
