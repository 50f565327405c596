#!/usr/bin/env bash
# debian-package.sh <velmora .deb>: checks the package's control data and contents: its name,
# the packages of the libraries the executable links among its dependencies next to the
# run-time packages no link reveals, and nothing outside /usr (which would outlive or clash
# with the system's own files).
set -euo pipefail
deb=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
field() { dpkg-deb --field "$deb" "$1"; }
# The package names of a dependency field, without versions or alternatives' bars.
names() { field "$1" | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d'; }

[ "$(field Package)" = velmora ] || fail "package name $(field Package)"
depends=$(names Depends)
# Every library the packaged executable links must come from a package it depends on.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
for soname in $(objdump -p "$unpacked/usr/bin/velmora" | awk '/NEEDED/ {print $2}'); do
  owners=$(dpkg -S "*/$soname" 2>/dev/null | cut -d: -f1 || true)
  grep -qxF -f <(echo "$depends") <<<"$owners" || fail "Depends lacks the package of $soname ($owners): $(field Depends)"
done
for p in qt6-qpa-plugins qt6-wayland at-spi2-core; do
  grep -qx "$p" <<<"$depends" || fail "Depends lacks $p: $(field Depends)"
done
grep -qx gnome-keyring <<<"$(names Recommends)" || fail "Recommends lacks a keyring: $(field Recommends)"

outside=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
for f in ./usr/bin/velmora ./usr/share/applications/com.velmora.Velmora.desktop; do
  dpkg-deb --contents "$deb" | awk '{print $6}' | grep -qx "$f" || fail "$f is missing"
done
[ "$(field Maintainer)" != "" ] && ! grep -q '\.invalid>' <<<"$(field Maintainer)" || fail "placeholder maintainer: $(field Maintainer)"

# What a Debian user checks a package with: any error fails (warnings are shown).
if command -v lintian >/dev/null; then
  report=$(lintian --allow-root --tag-display-limit 0 --display-info "$deb" 2>&1 || true)
  [ -z "$report" ] || echo "$report"
  ! grep -q '^E: ' <<<"$report" || fail "lintian reports errors"
  # Built with Debian's hardening flags: no hardening tag, even of the informational kind.
  ! grep -q ': hardening-' <<<"$report" || fail "lintian finds the executable unhardened"
else
  fail "lintian is not installed (scripts/packages.txt lists it)"
fi
echo "$(basename "$deb"): $(field Depends)"
