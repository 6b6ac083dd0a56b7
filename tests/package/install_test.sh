#!/usr/bin/env bash
# cmake --install into a temporary prefix (through DESTDIR, as packagers do),
# then both programs run from there: the layout, the desktop files through
# their validators, --help and --version, a page from a template of the
# user's own by hand and through the form under the test display.
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD="$1"
VERSION="$2"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=common.sh
source "$HERE/common.sh"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

PREFIX=/opt/wvignetor-test
DESTDIR="$WORK/dest" cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" ||
  fail "cmake --install: $(cat "$WORK/install.log")"
ROOT="$WORK/dest$PREFIX"
[ -z "$(find "$WORK/dest" -mindepth 1 -maxdepth 1 ! -name opt)" ] || fail "installed outside the prefix"

ID=example.korvel.wvignetor
for f in bin/wvignetor bin/vignetor lib/wvignetor/wVignetor lib/wvignetor/Vignetor \
  lib/wvignetor/Vignetor.html share/applications/$ID.desktop share/metainfo/$ID.metainfo.xml \
  share/icons/hicolor/scalable/apps/$ID.svg share/man/man1/vignetor.1.gz \
  share/man/man1/wvignetor.1.gz share/doc/wvignetor/copyright; do
  [ -e "$ROOT/$f" ] || fail "$f is not installed"
done
# The program directory whole: everything the build put beside the programs.
for f in "$BUILD"/bin/*; do
  [ -e "$ROOT/lib/wvignetor/$(basename "$f")" ] || fail "$(basename "$f") is not in the program directory"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$ROOT/share/icons/hicolor/${size}x${size}/apps/$ID.png"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
# The launchers are links that stay inside the installed tree.
for link in vignetor wvignetor; do
  case "$(readlink "$ROOT/bin/$link")" in /*) fail "bin/$link points to an absolute path" ;; esac
done

desktop-file-validate "$ROOT/share/applications/$ID.desktop" || fail "desktop-file-validate"
# Outside the system's PATH the menu starts the launcher by its full path.
grep -qxF "Exec=\"$PREFIX/bin/wvignetor\"" "$ROOT/share/applications/$ID.desktop" ||
  fail "the desktop entry does not start $PREFIX/bin/wvignetor: $(grep Exec "$ROOT/share/applications/$ID.desktop")"
appstreamcli validate --no-net "$ROOT/share/metainfo/$ID.metainfo.xml" >"$WORK/appstream.log" ||
  fail "appstreamcli validate: $(cat "$WORK/appstream.log")"
grep -qF "<release version=\"$VERSION\"" "$ROOT/share/metainfo/$ID.metainfo.xml" ||
  fail "the metainfo does not name version $VERSION"
for page in vignetor wvignetor; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$ROOT/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

check_installed_programs "$ROOT/bin" "$ROOT/lib/wvignetor"
system_unchanged
echo "installed under $PREFIX (DESTDIR) and run from there"
