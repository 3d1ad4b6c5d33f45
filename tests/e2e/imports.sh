#!/usr/bin/env bash
# The Windows programs are freestanding: they may import KERNEL32, USER32,
# GDI32 and WINMM only, and skidline.exe is a 32-bit GUI program.
set -u
fail=0
check() {  # exe, expected "file format" word, objdump
  local exe=$1 format=$2 objdump=$3
  if [ ! -f "$exe" ]; then echo "FAIL: $exe not built (make test builds the win32/win64 presets)"; fail=1; return; fi
  local dump; dump=$($objdump -p "$exe") || { echo "FAIL: objdump $exe"; fail=1; return; }
  grep -q "file format $format" <<<"$dump" || { echo "FAIL: $exe is not $format"; fail=1; }
  grep -q "^Subsystem.*0*2.*(Windows GUI)" <<<"$dump" || { echo "FAIL: $exe is not a GUI program"; fail=1; }
  local dlls; dlls=$(grep -i "DLL Name:" <<<"$dump" | awk '{print toupper($3)}' | sort -u)
  [ -n "$dlls" ] || { echo "FAIL: $exe imports nothing?"; fail=1; }
  for d in $dlls; do
    case $d in KERNEL32.DLL|USER32.DLL|GDI32.DLL|WINMM.DLL) ;;
      *) echo "FAIL: $exe imports $d"; fail=1 ;; esac
  done
  grep -q "KERNEL32.DLL" <<<"$(echo "$dlls")" || { echo "FAIL: $exe does not import KERNEL32"; fail=1; }
  echo "$exe: $(stat -c %s "$exe") bytes, imports: $(echo $dlls)"
}
check "$1" pei-i386 i686-w64-mingw32-objdump
check "$2" pei-x86-64 x86_64-w64-mingw32-objdump
exit $fail
