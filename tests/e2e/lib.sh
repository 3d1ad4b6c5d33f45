# Shared by the whole-program scripts (sourced): a scratch folder removed on
# exit, failure reporting, and bounded headless Linux runs.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }
# need FILE...: each was built, or the script fails at once.
need() { for f; do [ -f "$f" ] || { echo "FAIL: $f not built (make test builds it)"; exit 1; }; done; }
# headless PROGRAM ARGS...: SDL's dummy drivers (unless the caller chose a video driver), at most 60 s.
headless() { SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=dummy timeout -k 5 60 "$@"; }
# log_has FILE ERE WHAT / log_lacks FILE ERE WHAT
log_has() { grep -qE -- "$2" "$1" 2>/dev/null || bad "$3: $(basename "$1") lacks /$2/"; }
log_lacks() { ! grep -qE -- "$2" "$1" 2>/dev/null || bad "$3: $(basename "$1") has /$2/"; }
# ends_with_exit LOG WHAT: the game's part of the log ends with the hits line and "exit".
ends_with_exit() {
  local tail; tail=$(grep -vE '^audio: stopped' "$1" | tail -n 2 | tr -d '\r')
  grep -qE '^hits: walls [0-9]+ props [0-9]+ cones [0-9]+ cars [0-9]+$' <<<"$(head -n1 <<<"$tail")" &&
    [ "$(tail -n1 <<<"$tail")" = exit ] || bad "$2: the log does not end with the hits line and exit"
}
