#!/usr/bin/env bash
# Measures the expansion latency side by side with AutoKey, the peer expander Debian packages,
# run as a separate program (never linked): installs it when missing, then alternates the two
# in one private desktop session, first with the clipboard left alone, then with another
# application putting new text on it before each trial. Needs the Release build in build/.
# Arguments go to the benchmark (--pairs N, --expansions N).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v autokey-gtk >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then echo "peer-latency: install autokey-gtk first (apt-get install autokey-gtk)" >&2; exit 1; fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends autokey-gtk >/dev/null
fi
helper=build/tests/helpers/expansion-latency/velmora-expansion-latency
scripts/with-desktop.sh "$helper" --peer autokey "$@"
scripts/with-desktop.sh "$helper" --peer autokey --owned-clipboard "$@"
