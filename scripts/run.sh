#!/usr/bin/env bash
# Installs what is missing, builds Velmora and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release
exec "$top/build/src/velmora" "$@"
