#!/bin/bash
# Types "Hi /sig ok" straight on (never waiting for the expansion) into a browser's page fields or
# Thunderbird's compose window on the headless sway or mutter of scripts/with-desktop.sh, many
# times, and counts the tries that expanded, that were left as typed, and the others (faults,
# printed), and the tries whose expansions the statistics counted otherwise than the field shows
# them. Fields (comma-separated) for a browser: line, area, rich (the one-line field when none
# are named); for thunderbird: body, subject (the body when none are named). Each field is typed
# into in turn, `tries` times. VELMORA_STRAIGHT_ON_WAIT=1: each try waits for the expansion to
# show before typing on, as the desktop tests do. VELMORA_PORTAL_GONE=1 (mutter) ends the desktop
# portal's back end once the keyboard is allowed, as when it crashes: every try must stay as typed.
# VELMORA_MEASURE_PROGRAM=1: the velmora program (build/src/velmora, default settings) expands
# rather than the engine inside the test. VELMORA_ENGINE_LOG=FILE keeps the whole output there,
# with the engine's account of each try (not the program's).
#   benchmarks/browser-straight-on.sh [build dir] <sway|mutter> <firefox|chromium|chromium-x11|thunderbird> <tries> <ms per key> [fields]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ -d "${1:-}" ]; then build=$1; shift; fi
[ $# -eq 4 ] || [ $# -eq 5 ] || {
  echo "usage: $0 [build dir] <sway|mutter> <firefox|chromium|chromium-x11|thunderbird> <tries> <ms per key> [fields]" >&2
  exit 2
}
compositor=$1; shift
log=${VELMORA_ENGINE_LOG:-/dev/null}
[ "$log" = /dev/null ] || export QT_LOGGING_RULES="velmora.engine.debug=true"
VELMORA_STRAIGHT_ON="$*" scripts/with-desktop.sh "$build/tests/test_platform" \
  --gtest_filter="Compositors/WaylandBrowsers.measureTypingStraightOn/$compositor" 2>&1 \
  | tee "$log" | grep -E 'ms per key|FAILED|Failure|Expected|Which is|actual' || true
