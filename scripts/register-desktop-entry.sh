#!/usr/bin/env bash
# register-desktop-entry.sh <velmora executable>: makes that executable the current user's
# Velmora: its menu entry, and the handler of velmora:// links (the browser's sign-in hands
# its answer back through one). Needs no root: everything goes below $XDG_DATA_HOME and
# $XDG_CONFIG_HOME.
# register-desktop-entry.sh --remove: takes the entry away again; an installed package's
# entry of the same name then takes over, links included.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
app=com.velmora.Velmora
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
entry="$applications/$app.desktop"

refresh() {
  if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$applications"
  fi
}

if [ "${1:-}" = "--remove" ]; then
  rm -f "$entry"
  refresh
  exit 0
fi

if [ $# -ne 1 ]; then
  echo "usage: register-desktop-entry.sh <velmora executable> | --remove" >&2
  exit 2
fi
executable=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ -x "$executable" ] || { echo "register-desktop-entry: $executable is not an executable" >&2; exit 1; }

# An Exec argument is quoted when it holds a character the desktop entry format reserves;
# inside the quotes ", `, $ and \ are escaped, and then every \ once more for the value.
exec_argument() {
  local arg=$1
  case $arg in
    *[[:space:]\"\'\\\>\<~\|\&\;\$\*\?\#\(\)\`]*)
      arg=$(printf '%s' "$arg" | sed 's/[\\"`$]/\\&/g')
      arg="\"$arg\"" ;;
  esac
  arg=${arg//%/%%}
  printf '%s' "${arg//\\/\\\\}"
}

mkdir -p "$applications"
tmp=$(mktemp "$applications/.$app.XXXXXX")
while IFS= read -r line; do
  case $line in
    Exec=*) line="Exec=$(exec_argument "$executable") %u" ;;
    Icon=*) line="Icon=$top/data/icons/$app.svg" ;;
  esac
  printf '%s\n' "$line"
done <"$top/data/$app.desktop" >"$tmp"
chmod 644 "$tmp"
mv "$tmp" "$entry"
refresh

if command -v xdg-mime >/dev/null; then
  xdg-mime default "$app.desktop" x-scheme-handler/velmora
else
  echo "register-desktop-entry: xdg-mime is missing (Debian package xdg-utils); velmora:// links stay unhandled" >&2
fi
