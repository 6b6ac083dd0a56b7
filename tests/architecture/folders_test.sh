#!/usr/bin/env bash
# The folders of the source tree as docs/architecture.md draws them: every
# folder of code named there, and a folder's files include only folders its
# table of rooms lists before it (the table goes from the bottom up), so no
# two folders include each other either. The generator's rooms count as
# folders of their own.
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
    [ "$to" != "$from" ] && [ "$to" != . ] && echo "$to $from $file" >>"$edges"
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' | grep -v -e '^tests/' -e '^bench/' -e '^fuzz/' -e '/fuzz/')

if ! cut -d' ' -f1-2 "$edges" | sort -u | tsort >/dev/null 2>"$edges.loop"; then
  echo "folders include each other in a circle:"
  cat "$edges.loop"
  echo "edges (included folder, including folder):"
  cut -d' ' -f1-2 "$edges" | sort -u
  status=1
fi
rm -f "$edges.loop"

# The rooms in the order of the table, bottom first.
declare -A rank
n=0
while IFS= read -r room; do
  rank[$room]=$n
  n=$((n + 1))
done < <(sed -n 's/^| `\([a-z_][a-z_]*\(\/[a-z_]*\)\?\)\/` |.*/\1/p' docs/architecture.md)
[ "$n" -gt 0 ] || { echo "docs/architecture.md has no table of rooms"; status=1; }
while read -r to from file; do
  [ -n "${rank[$to]:-}" ] && [ -n "${rank[$from]:-}" ] || continue
  if [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
    echo "$file includes $to/, which the table of docs/architecture.md lists after $from/"
    status=1
  fi
done < <(sort -u "$edges")

for folder in $(printf '%s\n' "${folders[@]}" | sort -u); do
  [ "$folder" = . ] && continue
  [ -n "${rank[$folder]:-}" ] ||
    { echo "the table of docs/architecture.md has no row for the folder $folder/"; status=1; }
done
# And nothing named there that is gone.
while IFS= read -r named; do
  [ -d "$named" ] || { echo "docs/architecture.md names $named/, which is not there"; status=1; }
done < <(grep -o '`[a-z_][a-z_]*\(/[a-z_]*\)\?/`' docs/architecture.md | tr -d '`' | sed 's#/$##' | sort -u)
exit $status
