#!/bin/sh
# Benchmark of the thumbnail generator: Vignetor against vipsthumbnail (one
# process, and two in parallel on halves of the set) and mogrify -thumbnail,
# all on the same large JPEGs and PNGs made here, fixed height 100.
# Prints wall time and peak memory (the sum of the processes' peaks when two
# run at once) and the ratios to Vignetor.
#
# usage: [REPEAT=3] bench/generator/run.sh [path/to/Vignetor] [jpegs] [pngs]
# needs: libvips-tools (vips, vipsthumbnail), imagemagick (mogrify), time
set -eu

here=$(cd "$(dirname "$0")" && pwd)
gen=${1:-$here/../../build/bin/Vignetor}
jpegs=${2:-24}
pngs=${3:-6}
for tool in vips vipsthumbnail mogrify /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$gen" ] || { echo "no generator at $gen" >&2; exit 2; }

work=$(mktemp -d /tmp/vgn-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
set_dir=$work/pictures
mkdir -p "$set_dir"

echo "making $jpegs JPEGs (6000x4000) and $pngs PNGs (3000x2000) in $set_dir ..."
# Smooth noise with some detail, so that files have a photo's size.
vips worley "$work/w.v" 6000 4000 --cell-size 180
vips gaussnoise "$work/n.v" 6000 4000 --sigma 18 --mean 0
vips add "$work/w.v" "$work/n.v" "$work/wn.v"
vips bandjoin "$work/wn.v $work/w.v $work/n.v" "$work/c.v"
vips cast "$work/c.v" "$work/photo.v" uchar
i=1
while [ "$i" -le "$jpegs" ]; do
  vips copy "$work/photo.v" "$set_dir/photo$i.jpg[Q=90]"
  i=$((i + 1))
done
vips crop "$work/photo.v" "$work/small.v" 0 0 3000 2000
i=1
while [ "$i" -le "$pngs" ]; do
  vips copy "$work/small.v" "$set_dir/drawing$i.png[compression=3]"
  i=$((i + 1))
done
rm -f "$work"/*.v
files=$(find "$set_dir" -type f | sort)
half=$(( (jpegs + pngs) / 2 ))
first=$(echo "$files" | head -n "$half")
second=$(echo "$files" | tail -n +"$((half + 1))")
echo "set: $(du -sh "$set_dir" | cut -f1) in $((jpegs + pngs)) files"

now() { date +%s.%N; }
fresh() { rm -rf "$work/out"; mkdir -p "$work/out"; sync; }

results=$work/results
: >"$results"

# Each tool runs $repeat times on a fresh output folder; the best wall time
# counts (others share the machine), and the highest peak memory.
repeat=${REPEAT:-3}
gen_run() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$gen" /h100 /o /pT "$set_dir" "$work/out" >/dev/null 2>"$work/err" || {
    echo "Vignetor failed:" >&2; cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}
vt_run() {
  # shellcheck disable=SC2086
  /usr/bin/time -f "%e %M" -o "$work/time" vipsthumbnail --size x100 -o "$work/out/tn_%s.jpg" $files \
    >/dev/null 2>"$work/err"
  cat "$work/time"
}
vt2_run() {
  start=$(now)
  # shellcheck disable=SC2086
  /usr/bin/time -f "%e %M" -o "$work/time.a" vipsthumbnail --size x100 -o "$work/out/tn_%s.jpg" $first \
    >/dev/null 2>"$work/err.a" &
  a=$!
  # shellcheck disable=SC2086
  /usr/bin/time -f "%e %M" -o "$work/time.b" vipsthumbnail --size x100 -o "$work/out/tn_%s.jpg" $second \
    >/dev/null 2>"$work/err.b" &
  b=$!
  wait "$a" "$b"
  end=$(now)
  echo "$(awk "BEGIN { printf \"%.2f\", $end - $start }") $(( $(cut -d' ' -f2 "$work/time.a") + $(cut -d' ' -f2 "$work/time.b") ))"
}
mogrify_run() {
  # shellcheck disable=SC2086
  /usr/bin/time -f "%e %M" -o "$work/time" mogrify -path "$work/out" -thumbnail x100 $files >/dev/null 2>"$work/err"
  cat "$work/time"
}
best_of() {
  name=$1
  run=$2
  i=0
  : >"$work/runs"
  while [ "$i" -lt "$repeat" ]; do
    fresh
    "$run" >>"$work/runs"
    i=$((i + 1))
  done
  awk -v name="$name" 'NR == 1 || $1 < w { w = $1 } $2 > m { m = $2 } END { print name, w, m }' "$work/runs" >>"$results"
}

best_of Vignetor gen_run
best_of vipsthumbnail vt_run
best_of 2x-vipsthumbnail vt2_run
best_of mogrify mogrify_run

echo
awk 'NR == 1 { gw = $2; gm = $3 }
     { rows[NR] = $0 }
     END {
       printf "%-18s %9s %10s %12s %12s\n", "tool", "wall s", "peak MB", "time/gen", "memory/gen"
       for (i = 1; i <= NR; i++) {
         split(rows[i], f, " ")
         printf "%-18s %9.2f %10.1f %11.2fx %11.2fx\n", f[1], f[2], f[3] / 1024, f[2] / gw, f[3] / gm
       }
     }' "$results"
echo "(best wall time of $repeat runs; peak memory of two processes at once is the sum of their peaks; $(nproc) cores)"
