#!/usr/bin/env bash
# installed-tree.sh <build dir>: installs the build into a temporary root and checks that the
# tree holds exactly what a desktop needs, that the three files name the same application, and
# that the desktop's own validators accept them.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Named, the default component writes its own list of installed files, leaving alone the
# install_manifest.txt of a real installation from this build (its uninstall list).
DESTDIR="$root" cmake --install "$build" --prefix /usr --component Unspecified >/dev/null

app=com.velmora.Velmora
expected="usr/bin/velmora
usr/share/applications/$app.desktop
usr/share/icons/hicolor/scalable/apps/$app.svg
usr/share/metainfo/$app.metainfo.xml
usr/share/man/man1/velmora.1.gz
usr/share/doc/velmora/copyright
usr/share/doc/velmora/changelog.gz"
actual=$(cd "$root" && { find . -type f -printf '%P\n'; find . -mindepth 1 -type d -empty -printf '%P/\n'; } | sort)
[ "$actual" = "$(sort <<<"$expected")" ] || fail "installed tree differs:
$(diff <(sort <<<"$expected") <(echo "$actual") || true)"
[ -x "$root/usr/bin/velmora" ] || fail "velmora is not executable"

entry="$root/usr/share/applications/$app.desktop"
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Exec)" = "velmora %u" ] || fail "the menu entry does not start velmora from PATH with the link: $(key Exec)"
[ "$(key Icon)" = "$app" ] || fail "the menu entry names the icon $(key Icon)"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$root/usr/share/metainfo/$app.metainfo.xml" \
  || fail "the metainfo does not name the menu entry"

desktop-file-validate "$entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml"
