#!/bin/sh
# Checks the software device's d3d9.h against the MinGW one the Windows
# builds use: the order of every interface's methods (the method tables must
# line up), the value of every constant and the size of every structure.
# Skipped (exit 77) when no MinGW compiler is installed.
#   header_check.sh <src dir> <host c++> [<mingw c++>]
set -eu
src=$1
host=$2
mingw=${3:-x86_64-w64-mingw32-g++}
ours=$src/soft/d3d9.h
command -v "$mingw" >/dev/null 2>&1 || { echo "no $mingw: skipped"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sys=$(echo '#include <d3d9.h>' | "$mingw" -x c++ -E -M - 2>/dev/null | tr ' \\' '\n\n' | grep '/d3d9\.h$' | head -n 1 || true)
[ -n "$sys" ] || { echo "no <d3d9.h>: skipped"; exit 77; }

# ---- method order ------------------------------------------------------------------------------
# MinGW lists every method, inherited ones included, inside DECLARE_INTERFACE_.
sys_methods() {
  awk -v name="$1" '
    $0 ~ "DECLARE_INTERFACE_\\(" name "," { on = 1; next }
    on && /^};/ { exit }
    on && /STDMETHOD/ {
      s = $0; sub(/.*STDMETHOD_?\(/, "", s); sub(/\).*/, "", s); n = split(s, p, ","); m = p[n]
      gsub(/[ \t]/, "", m); print m
    }' "$sys"
}
# Ours declares each interface's own methods after its parent's.
our_methods() {
  [ "$1" = IUnknown ] && { printf 'QueryInterface\nAddRef\nRelease\n'; return; }
  parent=$(sed -n "s/^struct $1 : \([A-Za-z0-9_]*\) {.*/\1/p" "$ours")
  [ -n "$parent" ] || { echo "interface $1 not found" >&2; exit 1; }
  our_methods "$parent"
  awk -v name="$1" '
    $0 ~ "^struct " name " : " { on = 1; next }
    on && /^};/ { exit }
    on && /virtual/ { s = $0; sub(/\(.*/, "", s); n = split(s, p, " "); print p[n] }' "$ours"
}
fail=0
for i in IDirect3D9 IDirect3DDevice9 IDirect3DResource9 IDirect3DSurface9 IDirect3DVertexBuffer9 \
         IDirect3DIndexBuffer9 IDirect3DBaseTexture9 IDirect3DTexture9; do
  sys_methods "$i" >"$tmp/sys.$i"
  our_methods "$i" >"$tmp/our.$i"
  if ! [ -s "$tmp/sys.$i" ] || ! cmp -s "$tmp/sys.$i" "$tmp/our.$i"; then
    echo "method order of $i differs:"
    diff "$tmp/sys.$i" "$tmp/our.$i" || true
    fail=1
  fi
done

# ---- constants and structure sizes ---------------------------------------------------------------
# A host program prints our values as assertions, which the MinGW compiler
# then checks against its own header.
{
  printf '#include <stdio.h>\n#include "soft/d3d9.h"\nint main() {\n'
  { grep -oE '^ *D3D[A-Z0-9_]+ = ' "$ours" | tr -d ' ='
    grep -oE '^#define (D3D|S_OK|E_)[A-Za-z0-9_]+ ' "$ours" | sed 's/#define //; s/ $//'; } |
    sed 's/.*/  printf("static_assert((long long)(&) == %lldLL, \\"&\\");\\n", (long long)(&));/'
  grep -oE '^struct D3D[A-Z0-9_]+ \{' "$ours" | sed 's/struct //; s/ {//' |
    sed 's/.*/  printf("static_assert(sizeof(&) == %zu, \\"size of &\\");\\n", sizeof(&));/'
  echo '}'
} >"$tmp/gen.cpp"
"$host" -std=c++17 -w -I"$src" "$tmp/gen.cpp" -o "$tmp/gen"
{ printf '#include <windows.h>\n#include <d3d9.h>\n'; "$tmp/gen"; } >"$tmp/check.cpp"
if ! "$mingw" -std=c++17 -fsyntax-only "$tmp/check.cpp" 2>"$tmp/errors"; then
  echo "constants or structures differ:"
  grep -E 'error|static assertion' "$tmp/errors" | head -n 40
  fail=1
fi
count=$(grep -c static_assert "$tmp/check.cpp")
[ "$fail" = 0 ] && echo "method order of 8 interfaces and $count constants and sizes match $sys"
exit "$fail"
