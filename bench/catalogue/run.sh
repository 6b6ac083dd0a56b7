#!/bin/sh
# Time from the start of the program to its form on the screen, with 0, 100
# and 1,000 templates of typical size (copies of Grid.tpl) in the program
# directory. catalogue_startup starts as wVignetor does and reports when the
# form is drawn with its template list filled. Prints the best and the median
# of REPEAT starts per count.
#
# usage: [REPEAT=7] [COUNTS="0 100 1000"] bench/catalogue/run.sh [path/to/bin]   (needs DISPLAY;
#        build with -DWV_BENCH=ON -DCMAKE_BUILD_TYPE=Release)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
repeat=${REPEAT:-7}
counts=${COUNTS:-0 100 1000}
startup=$bin/catalogue_startup
[ -x "$startup" ] || { echo "no $startup (build with -DWV_BENCH=ON)" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/catalogue-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
# Settings of our own, so that the user's saved choices play no part.
export XDG_CONFIG_HOME="$work/config"

printf '%-10s %8s %8s\n' templates best_ms median_ms
for count in $counts; do
  dir=$work/program$count
  mkdir -p "$dir"
  i=0
  while [ "$i" -lt "$count" ]; do
    cp "$here/../../templates/Grid.tpl" "$dir/Template$i.tpl"
    i=$((i + 1))
  done
  times=$work/times$count
  : >"$times"
  r=0
  while [ "$r" -lt "$repeat" ]; do
    WV_T0=$(date +%s%N) "$startup" "$dir" >>"$times"
    r=$((r + 1))
  done
  sort -n "$times" >"$times.sorted"
  best=$(head -n 1 "$times.sorted")
  median=$(sed -n "$(((repeat + 1) / 2))p" "$times.sorted")
  printf '%-10s %8s %8s\n' "$count" "$best" "$median"
done
