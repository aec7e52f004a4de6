# Sourced by the scripts that run Windows programs under Wine. Each check ends the calling
# script as skipped (exit 77, CTest's SKIP_RETURN_CODE) with the command that installs what is
# missing; a skipped test is never a passed one.

vn_require_wine() {
  if ! command -v wine >/dev/null 2>&1; then
    echo "SKIPPED: Wine is not installed. Install it with:" \
      "sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
      "sudo apt-get install -y wine wine64 wine32:i386"
    exit 77
  fi
}

# vn_require_windows_build program.exe...
vn_require_windows_build() {
  local exe
  for exe in "$@"; do
    if [ ! -f "$exe" ]; then
      echo "SKIPPED: no Windows build at $exe. Build it with ./scripts/check (as root it first" \
        "installs the compilers: sudo apt-get update &&" \
        "sudo apt-get install -y g++-mingw-w64-i686 g++-mingw-w64-x86-64)"
      exit 77
    fi
  done
}
