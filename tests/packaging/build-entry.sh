#!/usr/bin/env bash
# build-entry.sh <source dir>: registers a build's executable as the user's Velmora, as
# scripts/run.sh does, and opens a velmora:// link the way a browser hands one on: the link
# must reach that executable. A stand-in executable records what it was started with.
set -euo pipefail
top=$1
if [ -z "${DISPLAY:-}" ] || ! command -v xdg-open >/dev/null; then
  echo "needs a display and xdg-utils"
  exit 77
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Only our private folders and the generic freedesktop rules, whatever desktop runs the test.
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" BROWSER=false
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
mkdir -p "$home/build"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s"\n' "$home/started-with" >"$home/build/velmora"
chmod +x "$home/build/velmora"

# Another handler chosen earlier, as a browser or an older entry may have left it.
mkdir -p "$XDG_DATA_HOME/applications"
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=false %%u\nMimeType=x-scheme-handler/velmora;\n' \
  >"$XDG_DATA_HOME/applications/other.desktop"
xdg-mime default other.desktop x-scheme-handler/velmora

"$top/scripts/register-desktop-entry.sh" "$home/build/velmora"
entry="$XDG_DATA_HOME/applications/com.velmora.Velmora.desktop"
desktop-file-validate "$entry"
grep -qx "Exec=$home/build/velmora %u" "$entry" || fail "the entry does not start the build with the link: $(grep ^Exec= "$entry")"
[ "$(xdg-mime query default x-scheme-handler/velmora)" = com.velmora.Velmora.desktop ] \
  || fail "velmora:// links are not handed to the registered entry"

link='velmora://auth-callback?code=a1b2'
xdg-open "$link"
[ "$(cat "$home/started-with" 2>/dev/null)" = "$link" ] || fail "the link did not reach the build's executable"

"$top/scripts/register-desktop-entry.sh" --remove
[ ! -e "$entry" ] || fail "--remove left the entry behind"
