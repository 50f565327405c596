#!/usr/bin/env bash
# Measures the expansion latency side by side with AutoKey, the peer expander Debian packages,
# run as a separate program (never linked): installs it when missing, then alternates the two
# in one private desktop session. Velmora is the real program (build/src/velmora, started as its
# user starts it, with a library of 50,000 other shortcuts), its CPU time read like AutoKey's:
# first with AutoKey pasting its phrase through the clipboard (Ctrl+V) as Velmora does, then with
# AutoKey typing it (its default), then typing it with another application putting new text on
# the clipboard before each trial. Each run prints the latency and the CPU time per expansion of
# both, and the CPU time per ordinary key of both and of the application typed into. Needs the
# Release build in build/.
# Arguments go to the benchmark (--pairs N, --expansions N, --library N, --gap MS: each trial given
# MS from its final key, e.g. 1500 to count all of what Velmora shows after an expansion).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v autokey-gtk >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then echo "peer-latency: install autokey-gtk first (apt-get install autokey-gtk)" >&2; exit 1; fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends autokey-gtk >/dev/null
fi
helper=build/tests/helpers/expansion-latency/velmora-expansion-latency
app=(--app build/src/velmora --library 50000)
# Each run reports on its own; one that cannot run (AutoKey not pasting here) does not stop the rest.
status=0
scripts/with-desktop.sh "$helper" --peer autokey "${app[@]}" --peer-mode cb "$@" || status=1
scripts/with-desktop.sh "$helper" --peer autokey "${app[@]}" --peer-mode kb "$@" || status=1
scripts/with-desktop.sh "$helper" --peer autokey "${app[@]}" --peer-mode kb --owned-clipboard "$@" || status=1
exit $status
