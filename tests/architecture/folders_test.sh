#!/usr/bin/env bash
# The folders of the source tree as docs/architecture.md draws them: every
# folder of code named there, and no #include circle between folders (a
# folder's files may include a folder below it, never one that includes
# them back). The generator's rooms count as folders of their own.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"

folder_of() {
  case "$1" in
    generator/*/*) echo "$1" | cut -d/ -f1-2 ;;
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
  esac
}

status=0
edges="$(mktemp)"
trap 'rm -f "$edges"' EXIT
folders=()
while IFS= read -r file; do
  from="$(folder_of "$file")"
  folders+=("$from")
  while IFS= read -r included; do
    to="$(folder_of "$included")"
    [ "$to" != "$from" ] && [ "$to" != . ] && echo "$to $from" >>"$edges"
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' | grep -v -e '^tests/' -e '^bench/' -e '^fuzz/' -e '/fuzz/')

if ! sort -u "$edges" | tsort >/dev/null 2>"$edges.loop"; then
  echo "folders include each other in a circle:"
  cat "$edges.loop"
  echo "edges (included folder, including folder):"
  sort -u "$edges"
  status=1
fi
rm -f "$edges.loop"

for folder in $(printf '%s\n' "${folders[@]}" | sort -u); do
  [ "$folder" = . ] && continue
  grep -q "\`$folder/\`" docs/architecture.md ||
    { echo "docs/architecture.md does not name the folder $folder/"; status=1; }
done
# And nothing named there that is gone.
while IFS= read -r named; do
  [ -d "$named" ] || { echo "docs/architecture.md names $named/, which is not there"; status=1; }
done < <(grep -o '`[a-z_][a-z_]*\(/[a-z_]*\)\?/`' docs/architecture.md | tr -d '`' | sed 's#/$##' | sort -u)
exit $status
