#!/usr/bin/env bash
# command-line.sh <velmora executable> <version>: what the program answers without a desktop:
# --help and --version print and succeed, and a session whose displays are gone (a Wayland
# display left named by an ended session, no X display) gets a sentence and exit status 1,
# not Qt's abort.
set -euo pipefail
velmora=$1 version=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
bare() { env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" "$@"; }

help=$(bare "$velmora" --help) || fail "--help ended with status $?"
for option in --help --version velmora-url; do
  grep -q -- "$option" <<<"$help" || fail "--help does not mention $option: $help"
done
[ "$(bare "$velmora" --version)" = "Velmora $version" ] || fail "--version says $(bare "$velmora" --version)"
[ "$(bare "$velmora" -v)" = "Velmora $version" ] || fail "-v says $(bare "$velmora" -v)"

# Qt's own single-dash options are the application's, not clusters of our letters (-reverse
# holds a v): without a display the program says so instead of printing its version.
status=0
out=$(bare "$velmora" -reverse 2>/dev/null) || status=$?
[ "$status" = 1 ] && [ -z "$out" ] || fail "-reverse was taken for an option (status $status): $out"

# A socket file nobody listens on, as an ended compositor leaves it.
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$runtime/wayland-0"
for session in wayland ""; do
  status=0
  said=$(bare WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=$session "$velmora" 2>&1 >/dev/null) || status=$?
  [ "$status" = 1 ] || fail "with a stale Wayland display (session type '$session'): status $status: $said"
  grep -q 'wayland-0' <<<"$said" || fail "the message does not name the display: $said"
done
echo "ok"
