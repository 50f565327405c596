#!/usr/bin/env bash
# Installs what is missing, builds Velmora, makes this build the user's Velmora (menu entry and
# velmora:// links; see register-desktop-entry.sh) and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release
"$top/scripts/register-desktop-entry.sh" "$top/build/src/velmora"
exec "$top/build/src/velmora" "$@"
