#!/bin/bash
# Types "x /aa y /bb z /sig w" into a toolkit's line field on the headless sway or mutter of
# scripts/with-desktop.sh, many times, and counts the tries that came out exact, those with some
# trigger left as typed, and the others (faults, printed). With "middle", types "/sig " into the
# middle of "AB CD" instead. VELMORA_MEASURE_PROGRAM=1: the velmora program (build/src/velmora,
# default settings) expands rather than the engine inside the test. VELMORA_ENGINE_LOG=FILE keeps
# the whole output there, with the engine's account of each try (not the program's).
#   benchmarks/wayland-typing-on.sh [build dir] <sway|mutter> <gtk3|gtk4|qt> <tries> <ms per key> [middle]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ -d "${1:-}" ]; then build=$1; shift; fi
[ $# -eq 4 ] || [ $# -eq 5 ] || { echo "usage: $0 [build dir] <sway|mutter> <gtk3|gtk4|qt> <tries> <ms per key> [middle]" >&2; exit 2; }
compositor=$1; shift
log=${VELMORA_ENGINE_LOG:-/dev/null}
[ "$log" = /dev/null ] || export QT_LOGGING_RULES="velmora.engine.debug=true"
VELMORA_TYPING_ON="$*" scripts/with-desktop.sh "$build/tests/test_platform" \
  --gtest_filter="Compositors/WaylandExpansion.measureTypingOnAcrossTriggers/$compositor" 2>&1 \
  | tee "$log" | grep -E 'ms per key|FAILED|Failure|Expected|Which is|actual' || true
