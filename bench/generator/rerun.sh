#!/bin/sh
# Benchmark of runs over a folder the generator has seen before: a full run
# over PICTURES photos (1,000 by default), a re-run over the unchanged
# folder, and a re-run after CHANGED of them (10 by default) were changed.
# Each re-run prints what the generator had to read (VIGNETOR_STATS=1): an
# unchanged folder needs no decoding at all.
#
# usage: [PICTURES=1000] [CHANGED=10] [REPEAT=3] bench/generator/rerun.sh [path/to/Vignetor]
# needs: libvips-tools (vips)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
gen=${1:-$here/../../build/bin/Vignetor}
pictures=${PICTURES:-1000}
changed=${CHANGED:-10}
repeat=${REPEAT:-3}
command -v vips >/dev/null 2>&1 || { echo "missing: vips" >&2; exit 2; }
[ -x "$gen" ] || { echo "no generator at $gen" >&2; exit 2; }

work=$(mktemp -d /tmp/vgn-rerun-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
in=$work/pictures
out=$work/thumbs
mkdir -p "$in" "$out"

echo "making $pictures photos (2000x1333 JPEG) in $in ..."
vips worley "$work/w.v" 2000 1333 --cell-size 120
vips gaussnoise "$work/n.v" 2000 1333 --sigma 18 --mean 0
vips add "$work/w.v" "$work/n.v" "$work/wn.v"
vips bandjoin "$work/wn.v $work/w.v $work/n.v" "$work/c.v"
vips cast "$work/c.v" "$work/photo.v" uchar
vips copy "$work/photo.v" "$work/photo.jpg[Q=90]"
rm -f "$work"/*.v
i=1
while [ "$i" -le "$pictures" ]; do
  cp "$work/photo.jpg" "$in/photo$i.jpg"
  i=$((i + 1))
done
echo "set: $(du -sh "$in" | cut -f1) in $pictures files"

now() { date +%s.%N; }
# One run as the form's first start makes it, with a page; prints the wall
# time, the summary and what was read.
run() {
  start=$(now)
  VIGNETOR_STATS=1 "$gen" /h100 /t /g /pThumb /iGrid.tpl "$in" "$out" >"$work/out" 2>"$work/err" || {
    echo "Vignetor failed:" >&2
    cat "$work/err" >&2
    exit 1
  }
  end=$(now)
  printf '%s|%s|%s\n' "$(awk "BEGIN { printf \"%.3f\", $end - $start }")" \
    "$(tail -n 1 "$work/out")" "$(grep '^stats: ' "$work/err" | sed 's/^stats: //')"
}
best() {
  # best wall time of the lines on stdin, with that run's summary
  sort -t'|' -k1,1n | head -n 1
}

: >"$work/full"
r=0
while [ "$r" -lt "$repeat" ]; do
  rm -rf "$out"
  mkdir -p "$out"
  sync
  run >>"$work/full"
  r=$((r + 1))
done
full=$(best <"$work/full")

: >"$work/same"
r=0
while [ "$r" -lt "$repeat" ]; do
  run >>"$work/same"
  r=$((r + 1))
done
same=$(best <"$work/same")

: >"$work/some"
r=0
while [ "$r" -lt "$repeat" ]; do
  # Another time on the first CHANGED photos, as an editor saving them gives.
  i=1
  while [ "$i" -le "$changed" ]; do
    touch -d "@$(( $(date +%s) - 100 * r - i ))" "$in/photo$i.jpg"
    i=$((i + 1))
  done
  run >>"$work/some"
  r=$((r + 1))
done
some=$(best <"$work/some")

echo
printf '%-28s %8s  %-58s %s\n' "run" "wall s" "summary" "read"
for row in "full run|$full" "re-run, nothing changed|$same" "re-run, $changed changed|$some"; do
  echo "$row" | awk -F'|' '{ printf "%-28s %8s  %-58s %s\n", $1, $2, $3, $4 }'
done
echo "(best wall time of $repeat runs; fixed height 100, unique names, Grid.tpl page; $(nproc) cores)"
