#!/usr/bin/env bash
# The Debian package: made with CPack, checked with lintian, installed with
# dpkg -i into a temporary root of its own and both programs run from where
# the package put them there. The system it runs on stays as it was, whoever
# runs it: nothing is installed into it, not even as root.
# Usage: deb_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD="$1"
VERSION="$2"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/cpack" >"$WORK/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$WORK/cpack.log")"
DEB="$WORK/cpack/wvignetor_${VERSION}_$(dpkg --print-architecture).deb"
[ -f "$DEB" ] || fail "no package $DEB: $(ls "$WORK/cpack")"
[ "$(dpkg-deb --field "$DEB" Version)" = "$VERSION" ] || fail "the package is not version $VERSION"
depends="$(dpkg-deb --field "$DEB" Depends)"
for lib in libvips42 libwxgtk3.2-1 libstdc++6 libexpat1 "libicu[0-9]" libzip4 libheif1 \
           "libavformat[0-9]" "libavcodec[0-9]" "libswscale[0-9]" "libswresample[0-9]" "libavutil[0-9]"; do
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

# A root of its own: dpkg's database in it, the libraries from this system.
# dpkg runs no maintainer script there (the package has none) and logs
# nowhere else.
ROOT="$WORK/root"
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
touch "$ROOT/var/lib/dpkg/status" "$ROOT/var/lib/dpkg/available"
dpkg --root="$ROOT" --log=/dev/null --force-not-root --force-depends -i "$DEB" \
  >"$WORK/dpkg.log" 2>&1 || fail "dpkg -i --root: $(cat "$WORK/dpkg.log")"
dpkg-query --admindir="$ROOT/var/lib/dpkg" -W -f='${Status}' wvignetor | grep -q "install ok installed" ||
  fail "dpkg does not list the package as installed"

check_installed_programs "$ROOT/usr/bin" "$ROOT/usr/lib/wvignetor"
system_unchanged
echo "installed with dpkg -i into a temporary root and run from there"
