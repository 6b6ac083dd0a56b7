#!/usr/bin/env bash
# The Debian package: made with CPack, checked with lintian, installed with
# dpkg -i and both programs run from where the package put them.
# As root on a system without the package (CI's fresh machine) it is
# installed into the system and removed again at the end; otherwise (a
# developer's machine, or the package already installed) into a temporary
# root of its own, which touches nothing outside it.
# Usage: deb_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD="$1"
VERSION="$2"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
WORK="$(mktemp -d)"
INSTALLED_HERE=no
cleanup() {
  if [ "$INSTALLED_HERE" = yes ]; then
    dpkg --purge wvignetor >/dev/null || echo "could not remove the package wvignetor" >&2
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/cpack" >"$WORK/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$WORK/cpack.log")"
DEB="$WORK/cpack/wvignetor_${VERSION}_$(dpkg --print-architecture).deb"
[ -f "$DEB" ] || fail "no package $DEB: $(ls "$WORK/cpack")"
[ "$(dpkg-deb --field "$DEB" Version)" = "$VERSION" ] || fail "the package is not version $VERSION"
depends="$(dpkg-deb --field "$DEB" Depends)"
for lib in libvips42 libwxgtk3.2-1 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

entry="$(dpkg-deb --fsys-tarfile "$DEB" | tar -xO ./usr/share/applications/example.korvel.wvignetor.desktop)"
grep -qx "Exec=wvignetor" <<<"$entry" || fail "the package's desktop entry does not start wvignetor"

# Errors and warnings fail; what the package explains in its overrides
# (usr/share/lintian/overrides/wvignetor) does not. Left as information:
# hardening-no-fortify-functions (the build's own flags, not dpkg-buildflags)
# and binary-has-unneeded-section (CPack strips with plain strip).
lintian --fail-on error,warning --tag-display-limit 0 "$DEB" >"$WORK/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$WORK/lintian.log")"

if [ "$(id -u)" = 0 ] && ! dpkg-query -W -f='${Status}' wvignetor 2>/dev/null | grep -q installed; then
  # dpkg waits for nobody: try again while another package manager runs.
  for attempt in $(seq 30); do
    if dpkg -i "$DEB" >"$WORK/dpkg.log" 2>&1; then INSTALLED_HERE=yes; break; fi
    grep -q "lock" "$WORK/dpkg.log" || break
    sleep 2
  done
  [ "$INSTALLED_HERE" = yes ] || fail "dpkg -i: $(cat "$WORK/dpkg.log")"
  ROOT=""
  [ "$(command -v vignetor)" = /usr/bin/vignetor ] || fail "vignetor is not on the PATH"
else
  # A root of its own: dpkg's database in it, the libraries from this system.
  ROOT="$WORK/root"
  mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
  touch "$ROOT/var/lib/dpkg/status" "$ROOT/var/lib/dpkg/available"
  dpkg --root="$ROOT" --log=/dev/null --force-not-root --force-depends -i "$DEB" \
    >"$WORK/dpkg.log" 2>&1 || fail "dpkg -i --root: $(cat "$WORK/dpkg.log")"
fi
dpkg-query --admindir="${ROOT:-}/var/lib/dpkg" -W -f='${Status}' wvignetor | grep -q "install ok installed" ||
  fail "dpkg does not list the package as installed"

check_installed_programs "$ROOT/usr/bin" "$ROOT/usr/lib/wvignetor"
echo "installed with dpkg -i $([ -n "$ROOT" ] && echo "into a temporary root" || echo "into the system, removed again")"
