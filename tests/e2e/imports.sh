#!/usr/bin/env bash
# The Windows programs are freestanding: they may import KERNEL32, USER32,
# GDI32 and WINMM only, and skidline.exe is a 32-bit GUI program.
. "$(dirname "$0")/lib.sh"
need "$1" "$2"
check() {  # exe, expected "file format" word, objdump
  local exe=$1 dump dlls
  dump=$($3 -p "$exe") || { bad "objdump $exe"; return; }
  grep -q "file format $2" <<<"$dump" || bad "$exe is not $2"
  grep -q "^Subsystem.*0*2.*(Windows GUI)" <<<"$dump" || bad "$exe is not a GUI program"
  dlls=$(grep -i "DLL Name:" <<<"$dump" | awk '{print toupper($3)}' | sort -u)
  grep -qx "KERNEL32.DLL" <<<"$dlls" || bad "$exe does not import KERNEL32"
  for d in $dlls; do
    case $d in KERNEL32.DLL | USER32.DLL | GDI32.DLL | WINMM.DLL) ;; *) bad "$exe imports $d" ;; esac
  done
  echo "$exe: $(stat -c %s "$exe") bytes, imports: $(echo $dlls)"
}
check "$1" pei-i386 i686-w64-mingw32-objdump
check "$2" pei-x86-64 x86_64-w64-mingw32-objdump
exit $fail
