#!/usr/bin/env bash
# Configures and builds one build directory: build.sh <dir> [cmake options...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
# Without these ccache refuses every file compiled with a precompiled header.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
cmake -S "$top" -B "$top/$dir" -G Ninja "$@" >/dev/null
# Source files are found by globs; when one is added, the moc step must rescan or a new
# Q_OBJECT class links without its meta-object. Dropping the stamps makes every build rescan
# (cheap: moc itself still only reruns for changed headers).
find "$top/$dir" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$top/$dir" --parallel "${VELMORA_JOBS:-$(nproc)}"
