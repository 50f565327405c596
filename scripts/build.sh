#!/usr/bin/env bash
# Configures and builds one build directory: build.sh <dir> [cmake options...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
cmake -S "$top" -B "$top/$dir" -G Ninja "$@" >/dev/null
cmake --build "$top/$dir" --parallel "$(nproc)"
