#!/bin/bash
# Types "Hi /sig ok" straight on into a browser's page field on the headless sway of
# scripts/with-desktop.sh, many times, and counts the tries that expanded, that were left as
# typed, and the others (faults, printed).
#   benchmarks/browser-straight-on.sh [build dir] <firefox|chromium> <tries> <ms per key>
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ $# -eq 4 ]; then build=$1; shift; fi
[ $# -eq 3 ] || { echo "usage: $0 [build dir] <firefox|chromium> <tries> <ms per key>" >&2; exit 2; }
VELMORA_STRAIGHT_ON="$1 $2 $3" scripts/with-desktop.sh "$build/tests/test_platform" \
  --gtest_filter='WaylandBrowsers.measureTypingStraightOn' 2>&1 | grep -E 'ms per key|FAILED|Failure|Expected|Which is|actual' || true
